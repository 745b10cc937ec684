#pragma once

#include <cstdint>

namespace kelditra {

inline constexpr int32_t kVoiceCount = 262144;
inline constexpr int32_t kRawEntryBins = 128;
inline constexpr int32_t kPreparedEntryValues = 64;
inline constexpr int64_t kVoiceTableBytes = int64_t{kVoiceCount} * kRawEntryBins * 2;

// Rewrites a loaded table in place: records each entry's sum and skip flag
// (kVoiceCount of each, in arrays the caller owns, taken from the raw bins),
// weights bins 16..127 by (n - 8) / 8 with a ceiling of 65535, and compacts
// each entry to its 64 even bins, so prepared entry i is the 64 native 16-bit
// values at byte 128 * i. The pass must run in ascending order: each compact
// entry lands below raw bytes not yet read.
void PrepareVoiceTable(uint8_t* table, uint8_t* skip_flags, int32_t* entry_sums);

// Prepared value j of entry voice, in a table PrepareVoiceTable has run over.
inline const uint16_t* PreparedEntry(const uint8_t* table, int32_t voice) {
  return reinterpret_cast<const uint16_t*>(table + int64_t{voice} * kPreparedEntryValues * 2);
}

}  // namespace kelditra
