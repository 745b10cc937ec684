#pragma once

#include <cstdio>

namespace kelditra {

template <typename MakeEntry>
bool WriteVoiceTable(const std::string& path, MakeEntry make_entry) {
  constexpr int32_t kVoices = 262144;
  constexpr int32_t kEntriesPerChunk = 4096;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  std::vector<uint8_t> chunk;
  chunk.reserve(kEntriesPerChunk * 256);
  bool written = true;
  for (int32_t voice = 0; voice < kVoices && written; ++voice) {
    AppendEntryBytes(make_entry(voice), &chunk);
    if (chunk.size() == kEntriesPerChunk * 256u || voice + 1 == kVoices) {
      written = std::fwrite(chunk.data(), 1, chunk.size(), file) == chunk.size();
      chunk.clear();
    }
  }
  return std::fclose(file) == 0 && written;
}

}  // namespace kelditra
