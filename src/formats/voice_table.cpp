#include "formats/voice_table.h"

#include <bit>

#include "formats/byte_order.h"

namespace kelditra {

static_assert(std::endian::native == std::endian::little,
              "prepared entries are read as native 16-bit values");

namespace {

constexpr int32_t kFirstWeightedBin = 16;
constexpr int32_t kLargestMagnitude = 65535;

int32_t WeightedBin(int32_t bin, int32_t magnitude) {
  if (bin < kFirstWeightedBin) return magnitude;
  const int32_t weighted = magnitude * (2 * bin - 16) / 16;
  return weighted > kLargestMagnitude ? kLargestMagnitude : weighted;
}

}  // namespace

void PrepareVoiceTable(uint8_t* table, uint8_t* skip_flags, int32_t* entry_sums) {
  for (int32_t voice = 0; voice < kVoiceCount; ++voice) {
    uint8_t* raw = table + int64_t{voice} * kRawEntryBins * 2;
    int32_t magnitudes[kRawEntryBins];
    for (int32_t bin = 0; bin < kRawEntryBins; ++bin) magnitudes[bin] = ReadLittle16(raw + 2 * bin);

    int32_t entry_sum = 0;
    int32_t even_sum = 0;
    int32_t odd_sum = 0;
    for (int32_t bin = 0; bin < kRawEntryBins; ++bin) {
      entry_sum += magnitudes[bin];
      if (bin % 2 == 1) {
        odd_sum += magnitudes[bin];
      } else if (bin != 0) {
        even_sum += magnitudes[bin];
      }
    }
    skip_flags[voice] = 16 * odd_sum > even_sum ? 1 : 0;
    entry_sums[voice] = entry_sum;

    // Destination byte 128 * voice + 2j never lies above source byte
    // 256 * voice + 4j, so every write lands on bytes already read.
    uint8_t* prepared = table + int64_t{voice} * kPreparedEntryValues * 2;
    for (int32_t j = 0; j < kPreparedEntryValues; ++j) {
      WriteLittle16(prepared + 2 * j, static_cast<uint16_t>(WeightedBin(2 * j, magnitudes[2 * j])));
    }
  }
}

}  // namespace kelditra
