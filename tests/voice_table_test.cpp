#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "fixture_files.h"
#include "formats/voice_table.h"

namespace {

// A whole table in memory with a few planted raw entries, the rest zero.
class VoiceTablePreparation : public ::testing::Test {
 protected:
  VoiceTablePreparation() : table_(kVoiceTableBytes, 0) {}

  void Plant(int32_t voice, const RawEntry& entry) {
    std::vector<uint8_t> bytes;
    AppendEntryBytes(entry, &bytes);
    std::memcpy(table_.data() + int64_t{voice} * 256, bytes.data(), bytes.size());
  }
  static RawEntry Single(int bin, uint16_t value) {
    RawEntry entry(128, 0);
    entry[bin] = value;
    return entry;
  }
  uint16_t Prepared(int32_t voice, int j) { return PreparedEntry(table_.data(), voice)[j]; }

  std::vector<uint8_t> table_;
};

TEST_F(VoiceTablePreparation, WeightingOfTheUpperBins) {
  // Bin, raw value, prepared value: bins 16.. are scaled by (n - 8) / 8,
  // truncated, with a ceiling of 65535. Voice 1000 + i holds case i.
  const struct {
    int bin;
    uint16_t raw;
    uint16_t prepared;
  } cases[] = {
      {0, 65535, 65535},  {14, 65535, 65535}, {16, 1234, 1234},   {18, 7, 8},
      {24, 32767, 65534}, {24, 32768, 65535}, {126, 4443, 65534}, {126, 4444, 65535},
      {40, 3, 12},        {100, 1, 11},       {126, 65535, 65535},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    Plant(1000 + static_cast<int32_t>(i), Single(cases[i].bin, cases[i].raw));
  }
  PrepareVoiceTable(table_.data());
  for (size_t i = 0; i < std::size(cases); ++i) {
    const int32_t voice = 1000 + static_cast<int32_t>(i);
    EXPECT_EQ(Prepared(voice, cases[i].bin / 2), cases[i].prepared) << "bin " << cases[i].bin;
    // The clamped weighting leaves the sum at the raw value.
    EXPECT_EQ(gEntrySums[voice], cases[i].raw);
  }
}

TEST_F(VoiceTablePreparation, SkipFlagComparesSixteenOddSumsWithTheEvenSum) {
  RawEntry equal(128, 0);  // 16 * O == E
  equal[2] = 100;
  equal[4] = 60;
  equal[3] = 10;
  RawEntry one_more = equal;  // 16 * O == E + 1
  one_more[4] = 59;
  RawEntry bin_zero_only(128, 0);
  bin_zero_only[0] = 50000;
  RawEntry odd_only(128, 0);
  odd_only[127] = 1;

  Plant(5, equal);
  Plant(6, one_more);
  Plant(7, bin_zero_only);
  Plant(8, odd_only);
  Plant(9, RawEntry(128, 65535));  // the largest sums must not overflow
  PrepareVoiceTable(table_.data());

  EXPECT_EQ(gSkipFlags[5], 0);
  EXPECT_EQ(gSkipFlags[6], 1);
  EXPECT_EQ(gSkipFlags[7], 0);
  EXPECT_EQ(gEntrySums[7], 50000);
  EXPECT_EQ(gSkipFlags[8], 1);
  EXPECT_EQ(gSkipFlags[9], 1);
  EXPECT_EQ(gEntrySums[9], 128 * 65535);
  EXPECT_EQ(gSkipFlags[10], 0);  // all zero
  EXPECT_EQ(gEntrySums[10], 0);
  for (int j = 0; j < 64; ++j) EXPECT_EQ(Prepared(10, j), 0);
}

TEST_F(VoiceTablePreparation, InPlaceCompactionLosesNothing) {
  // Distinct values everywhere in the first entries, so an overwrite before
  // a read would show.
  for (int32_t voice = 0; voice < 4; ++voice) {
    RawEntry entry(128);
    for (int bin = 0; bin < 128; ++bin) entry[bin] = static_cast<uint16_t>(voice * 300 + bin + 1);
    Plant(voice, entry);
  }
  std::vector<uint8_t> raw_copy(table_.begin(), table_.begin() + 4 * 256);
  PrepareVoiceTable(table_.data());

  for (int32_t voice = 0; voice < 4; ++voice) {
    for (int j = 0; j < 64; ++j) {
      const int bin = 2 * j;
      const int raw = raw_copy[voice * 256 + 2 * bin] | raw_copy[voice * 256 + 2 * bin + 1] << 8;
      const int expected = bin < 16 ? raw : std::min(65535, raw * (2 * bin - 16) / 16);
      ASSERT_EQ(Prepared(voice, j), expected) << "voice " << voice << " value " << j;
    }
  }
}

}  // namespace
