#include "formats/paths.h"

std::string TrimTrailingWhiteSpace(const std::string& text) {
  size_t end = text.size();
  while (end > 0) {
    const char c = text[end - 1];
    if (c != ' ' && c != '\t' && c != '\n' && c != '\v' && c != '\f' && c != '\r') break;
    --end;
  }
  return text.substr(0, end);
}

bool HasWaveExtension(const std::string& path) {
  std::string tail = path.size() < 4 ? path : path.substr(path.size() - 4);
  for (char& c : tail) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return tail == ".wav";
}

std::string BasePathOf(const std::string& wave_path) {
  return wave_path.substr(0, wave_path.size() - 4);
}
