#include "formats/paths.h"

#include "io/platform_file.h"

namespace kelditra {

namespace {

std::string LowerCase(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && LowerCase(text.substr(text.size() - tail.size())) == tail;
}

}  // namespace

std::string TrimTrailingWhiteSpace(const std::string& text) {
  size_t end = text.size();
  while (end > 0) {
    const char c = text[end - 1];
    if (c != ' ' && c != '\t' && c != '\n' && c != '\v' && c != '\f' && c != '\r') break;
    --end;
  }
  return text.substr(0, end);
}

bool HasWaveExtension(const std::string& path) { return EndsWith(path, ".wav"); }

bool IsPreviewName(const std::string& path) { return EndsWith(path, kPreviewSuffix); }

std::string MadeFilePath(const std::string& wave_path, const std::string& output_folder,
                         const std::string& extension) {
  const std::string base = wave_path.substr(0, wave_path.size() - 4);
  if (output_folder.empty()) return base + extension;
  const size_t name_start = base.find_last_of(kFolderSeparators) + 1;  // npos + 1 == 0
  const char last = output_folder.back();
  const bool separated = std::string(kFolderSeparators).find(last) != std::string::npos;
  return output_folder + (separated ? "" : "/") + base.substr(name_start) + extension;
}

std::string FindMadeFile(const std::string& wave_path, const std::string& output_folder,
                         const std::string& extension) {
  const std::string made = MadeFilePath(wave_path, output_folder, extension);
  FileIdentity identity;
  if (!output_folder.empty() && IdentityOf(made.c_str(), &identity)) return made;
  return MadeFilePath(wave_path, "", extension);
}

}  // namespace kelditra
