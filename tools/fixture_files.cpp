#include "fixture_files.h"

#include <cstdio>

namespace kelditra {

namespace {

void PutLittle(std::vector<uint8_t>* out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out->push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void PutId(std::vector<uint8_t>* out, const char* id) { out->insert(out->end(), id, id + 4); }

}  // namespace

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::vector<uint8_t> bytes;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return bytes;
  uint8_t buffer[65536];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
    bytes.insert(bytes.end(), buffer, buffer + got);
  }
  std::fclose(file);
  return bytes;
}

bool WriteMonoWave(const std::string& path, const std::vector<int16_t>& samples) {
  const uint32_t data_bytes = static_cast<uint32_t>(samples.size() * 2);
  std::vector<uint8_t> bytes;
  bytes.reserve(44 + data_bytes);
  PutId(&bytes, "RIFF");
  PutLittle(&bytes, 36 + data_bytes, 4);
  PutId(&bytes, "WAVE");
  PutId(&bytes, "fmt ");
  PutLittle(&bytes, 16, 4);
  PutLittle(&bytes, 1, 2);           // PCM
  PutLittle(&bytes, 1, 2);           // mono
  PutLittle(&bytes, 44100, 4);       // sample rate
  PutLittle(&bytes, 44100 * 2, 4);   // byte rate
  PutLittle(&bytes, 2, 2);           // block alignment
  PutLittle(&bytes, 16, 2);          // bits per sample
  PutId(&bytes, "data");
  PutLittle(&bytes, data_bytes, 4);
  for (int16_t sample : samples) PutLittle(&bytes, static_cast<uint16_t>(sample), 2);
  return WriteBytes(path, bytes);
}

bool WritePitchTrack(const std::string& path, const std::vector<uint16_t>& fundamentals) {
  std::vector<uint8_t> bytes(fundamentals.size() * 66, 0);
  for (size_t frame = 0; frame < fundamentals.size(); ++frame) {
    bytes[66 * frame + 2] = static_cast<uint8_t>(fundamentals[frame]);
    bytes[66 * frame + 3] = static_cast<uint8_t>(fundamentals[frame] >> 8);
  }
  return WriteBytes(path, bytes);
}

void AppendEntryBytes(const RawEntry& entry, std::vector<uint8_t>* out) {
  for (int bin = 0; bin < 128; ++bin) {
    const uint16_t value = bin < static_cast<int>(entry.size()) ? entry[bin] : 0;
    out->push_back(static_cast<uint8_t>(value));
    out->push_back(static_cast<uint8_t>(value >> 8));
  }
}

}  // namespace kelditra
