#pragma once

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "fixture_files.h"

namespace kelditra {

// A table in which every entry is skipped (one odd bin set) except the
// planted ones, so a search over it is quick and its winner is known.
inline bool WriteSparseTable(const std::string& path, const std::map<int32_t, RawEntry>& planted) {
  RawEntry skipped(128, 0);
  skipped[1] = 1;
  return WriteVoiceTable(path, [&](int32_t voice) {
    const auto found = planted.find(voice);
    return found == planted.end() ? skipped : found->second;
  });
}

// Sinusoids at the given multiples of fundamental_hz with the given
// amplitudes, frames * 735 samples long.
inline std::vector<int16_t> HarmonicSound(int frames, double fundamental_hz,
                                          const std::vector<double>& amplitudes) {
  std::vector<int16_t> samples(static_cast<size_t>(frames) * 735);
  for (size_t n = 0; n < samples.size(); ++n) {
    double value = 0;
    for (size_t h = 0; h < amplitudes.size(); ++h) {
      value += amplitudes[h] * std::sin(2.0 * M_PI * fundamental_hz * (h + 1) * n / 44100.0);
    }
    samples[n] = static_cast<int16_t>(std::lround(value));
  }
  return samples;
}

// Files are little-endian, as is every host the program builds for, so
// samples and records are copied as they are.
struct Record {
  int32_t voice_high, frequency, gain, voice_low;
  bool operator==(const Record&) const = default;
};
static_assert(std::endian::native == std::endian::little && sizeof(Record) == 16);

inline std::vector<Record> ReadRecords(const std::string& path) {
  const std::vector<uint8_t> bytes = ReadBytes(path);
  std::vector<Record> records(bytes.size() / 16);
  if (!records.empty()) std::memcpy(records.data(), bytes.data(), records.size() * 16);
  return records;
}

// Samples as the bytes of a WAV file's data.
inline std::vector<uint8_t> PcmBytes(const std::vector<int16_t>& samples) {
  std::vector<uint8_t> bytes(samples.size() * 2);
  if (!bytes.empty()) std::memcpy(bytes.data(), samples.data(), bytes.size());
  return bytes;
}

}  // namespace kelditra
