#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "fixture_files.h"
#include "formats/voice_table.h"

namespace kelditra {

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
  static RawEntry Entry(std::initializer_list<std::pair<int, uint16_t>> bins) {
    RawEntry entry(128, 0);
    for (auto [bin, value] : bins) entry[bin] = value;
    return entry;
  }
  uint16_t Prepared(int32_t voice, int j) { return PreparedEntry(table_.data(), voice)[j]; }
  void Prepare() { PrepareVoiceTable(table_.data(), skip_flags_.data(), entry_sums_.data()); }

  std::vector<uint8_t> table_;
  std::vector<uint8_t> skip_flags_ = std::vector<uint8_t>(kVoiceCount, 7);
  std::vector<int32_t> entry_sums_ = std::vector<int32_t>(kVoiceCount, -1);
};

// Bins 16.. are scaled by (n - 8) / 8, truncated, with a ceiling of 65535,
// the sum left at the raw values: single bins at voice 1000 + i. Voices 0..3
// hold distinct values in every bin, so that the compaction in place would
// show a value overwritten before it was read.
TEST_F(VoiceTablePreparation, WeightingOfTheUpperBinsAndCompactionInPlace) {
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
    Plant(1000 + static_cast<int32_t>(i), Entry({{cases[i].bin, cases[i].raw}}));
  }
  const auto raw = [](int32_t voice, int bin) { return voice * 300 + bin + 1; };
  for (int32_t voice = 0; voice < 4; ++voice) {
    RawEntry entry(128);
    for (int bin = 0; bin < 128; ++bin) entry[bin] = static_cast<uint16_t>(raw(voice, bin));
    Plant(voice, entry);
  }
  Prepare();
  for (size_t i = 0; i < std::size(cases); ++i) {
    const int32_t voice = 1000 + static_cast<int32_t>(i);
    EXPECT_EQ(Prepared(voice, cases[i].bin / 2), cases[i].prepared) << "bin " << cases[i].bin;
    EXPECT_EQ(entry_sums_[voice], cases[i].raw);
  }
  for (int32_t voice = 0; voice < 4; ++voice) {
    for (int bin = 0; bin < 128; bin += 2) {
      const int weighted = bin < 16 ? raw(voice, bin) : raw(voice, bin) * (bin - 8) / 8;
      ASSERT_EQ(Prepared(voice, bin / 2), weighted) << "voice " << voice << " bin " << bin;
    }
  }
}

// An entry is skipped when 16 times the sum of its odd bins exceeds the sum
// of its even ones. Voice 5 + i holds case i.
TEST_F(VoiceTablePreparation, SkipFlagComparesSixteenOddSumsWithTheEvenSum) {
  const struct {
    const char* name;
    RawEntry entry;
    uint8_t skip;
    int32_t sum;
  } cases[] = {
      {"16 * odd == even", Entry({{2, 100}, {4, 60}, {3, 10}}), 0, 170},
      {"16 * odd == even + 1", Entry({{2, 100}, {4, 59}, {3, 10}}), 1, 169},
      {"bin 0 only", Entry({{0, 50000}}), 0, 50000},
      {"odd only", Entry({{127, 1}}), 1, 1},
      {"largest sums, no overflow", RawEntry(128, 65535), 1, 128 * 65535},
      {"all zero", RawEntry(128, 0), 0, 0},
  };
  for (size_t i = 0; i < std::size(cases); ++i) Plant(5 + static_cast<int32_t>(i), cases[i].entry);
  Prepare();
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(skip_flags_[5 + i], cases[i].skip) << cases[i].name;
    EXPECT_EQ(entry_sums_[5 + i], cases[i].sum) << cases[i].name;
  }
}

}  // namespace

}  // namespace kelditra
