#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "analysis/frame_spectra.h"
#include "formats/voice_table.h"
#include "job_fixtures.h"
#include "preview/preview_synthesis.h"
#include "test_support.h"

namespace kelditra {

namespace {

// Entries of a few harmonics each, chosen by hand.
RawEntry Harmonics(std::vector<std::pair<int, uint16_t>> bins) {
  RawEntry entry(128, 0);
  for (auto [bin, value] : bins) entry[bin] = value;
  return entry;
}

const std::map<int32_t, RawEntry> kPlanted = {
    {0x1234, Harmonics({{2, 4000}, {4, 2500}, {6, 1200}, {10, 600}})},   // half-harmonic
    {0x4005, Harmonics({{2, 3000}, {4, 2000}, {8, 700}})},                // harmonic
    {0x2345, Harmonics({{2, 5000}})},                                     // one component, j = 1
    {0x2346, Harmonics({{14, 5000}})},                                    // one component, j = 7
};

// The planted table as a job prepares it, made once.
const uint8_t* PreparedTable() {
  static const std::vector<uint8_t> table = [] {
    ScratchFolder folder;
    EXPECT_TRUE(WriteSparseTable(folder / "table.dat", kPlanted));
    std::vector<uint8_t> bytes = ReadBytes(folder / "table.dat");
    std::vector<uint8_t> skip_flags(kVoiceCount);
    std::vector<int32_t> entry_sums(kVoiceCount);
    PrepareVoiceTable(bytes.data(), skip_flags.data(), entry_sums.data());
    return bytes;
  }();
  return table.data();
}

// The preview of records over the planted table, which none of them clips.
std::vector<int16_t> Synthesize(const std::vector<ParameterRecord>& records) {
  int64_t clipped = 0;
  std::vector<int16_t> samples = SynthesizePreview(records, PreparedTable(), &clipped);
  EXPECT_EQ(clipped, 0);
  return samples;
}

// 240 Hz: whole periods per frame, so components do not leak into each other.
TEST(Preview, SteadyFramesAnalyseBackToTheScaledValues) {
  const ParameterRecord records[] = {{0x123, 240, 3000, 4}, {0x400, 480, 5000, 5}};
  for (const ParameterRecord& record : records) {
    const int32_t voice = record.voice_high * 16 + record.voice_low;
    const auto bytes = PcmBytes(Synthesize(std::vector<ParameterRecord>(8, record)));
    const uint16_t* entry = PreparedEntry(PreparedTable(), voice);
    for (int frame = 1; frame < 7; ++frame) {
      const FrameSpectra spectra = ComputeFrameSpectra(bytes.data(), frame, 240);
      const int32_t* measured = voice == 0x4005 ? spectra.harmonic : spectra.half_harmonic;
      for (int j = 1; j < 64; ++j) {
        ASSERT_NEAR(measured[2 * j], (entry[j] * record.gain) >> 12, 2)
            << "voice " << voice << " frame " << frame << " value " << j;
      }
    }
  }
}

// A steady record sounds each component as one unbroken sinusoid. A lone
// sinusoid x of angular step w obeys x[n - 1] + x[n + 1] = 2 cos(w) x[n]
// wherever it is unbroken; rounding to 16 bits leaves at most 2 of slack. At
// 250 Hz a frame holds 4 1/6 periods, so a phase restarted at a frame start
// would break the rule there.
TEST(Preview, SteadyRecordsRunEachComponentOnAcrossFrameStarts) {
  const struct {
    ParameterRecord record;
    int component;
  } cases[] = {{{0x234, 250, 3000, 5}, 1}, {{0x234, 250, 3000, 6}, 7}};
  for (const auto& c : cases) {
    const std::vector<int16_t> samples = Synthesize(std::vector<ParameterRecord>(6, c.record));
    const double twice_cosine = 2.0 * std::cos(2.0 * M_PI * c.component * 250 / 44100.0);
    // Frames 1 to 4, whose neighbours share their record.
    for (int n = kFrameLength; n < 5 * kFrameLength; ++n) {
      const double rule = samples[n - 1] + samples[n + 1] - twice_cosine * samples[n];
      ASSERT_LE(std::abs(rule), 2.0) << "component " << c.component << ", sample " << n
                                     << " (" << n % kFrameLength << " into its frame)";
    }
  }
}

TEST(Preview, SilentRecordsAndFrequencyZeroAreSilence) {
  const std::vector<std::vector<ParameterRecord>> cases = {
      {{0x123, 240, 0, 4}, {0x123, 240, 0, 4}},      // gain 0
      {{0x123, 0, 7922, 4}, {0x123, 0, 7922, 4}},    // frequency 0: not a DC offset
      {{0x123, 23000, 7922, 4}},                      // every component above Nyquist
  };
  for (const auto& records : cases) {
    const std::vector<int16_t> samples = Synthesize(records);
    ASSERT_EQ(samples.size(), records.size() * 735);
    for (int16_t sample : samples) ASSERT_EQ(sample, 0);
  }
}

// No step between neighbouring samples outgrows what the loudest component
// alone could move. A voice after a frame at 0 Hz, with fresh phases or an
// earlier voice's, follows silence and grows over a few milliseconds.
TEST(Preview, NothingClicks) {
  const ParameterRecord unvoiced = {0x123, 0, 0, 4};
  const ParameterRecord voice = {0x123, 250, 5000, 4};
  const struct {
    const char* what;
    std::vector<ParameterRecord> records;
    size_t onset;  // the first frame of a voice after a frame at 0 Hz; 0: none
  } cases[] = {
      {"voice, frequency and gain jump", {{0x123, 200, 3000, 4}, {0x400, 460, 6000, 5}, {0x123, 310, 2000, 4}}, 0},
      {"first voice", {unvoiced, unvoiced, voice, voice}, 2},
      {"after a gap", {voice, voice, unvoiced, voice, voice}, 3},
  };
  for (const auto& c : cases) {
    const std::vector<int16_t> samples = Synthesize(c.records);
    int peak = 0;
    for (int16_t s : samples) peak = std::max(peak, std::abs(int{s}));
    for (size_t n = 1; n < samples.size(); ++n) {
      ASSERT_LT(std::abs(samples[n] - samples[n - 1]), peak / 4) << c.what << ": at sample " << n;
    }
    if (c.onset == 0) continue;
    const size_t at = c.onset * kFrameLength;
    for (size_t n = at - kFrameLength / 3; n < at; ++n) {
      ASSERT_EQ(samples[n], 0) << c.what << ": " << at - n << " before the voice";
    }
    // Half a millisecond in, a tenth of the peak at most.
    for (size_t n = at; n < at + 22; ++n) {
      ASSERT_LT(std::abs(int{samples[n]}), peak / 10) << c.what << ": " << n - at << " into the voice";
    }
  }
}

std::vector<uint8_t> RecordBytes(const std::vector<Record>& records) {
  std::vector<uint8_t> bytes(records.size() * sizeof(Record));
  std::memcpy(bytes.data(), records.data(), bytes.size());
  return bytes;
}

// Any bytes in a .bin: what cannot be sounded is refused, naming the fault
// and the record, and nothing is written; the loudest gains a record can
// hold are sounded, clipped.
TEST(Preview, AnyParameterFileEndsInAMessage) {
  const Record good = {0x123, 240, 3000, 4};
  const struct {
    const char* name;
    std::vector<uint8_t> bytes;
    const char* out;  // after "take.wav: "; empty: written
  } cases[] = {
      {"part of a record", std::vector<uint8_t>(17, 0),
       "take.bin: 17 bytes, not a whole number of 16-byte records"},
      {"more records than a conversion writes", std::vector<uint8_t>(16 * (kRecordCapacity + 1), 0),
       "take.bin: 262145 records, more than the 262144 of the longest conversion"},
      {"voice past the table", RecordBytes({good, {16384, 240, 3000, 0}}),
       "take.bin: record 1 (byte 16): voice / 16 16384 is not within 0..16383"},
      {"voice % 16 of 16", RecordBytes({good, good, {0x123, 240, 3000, 16}}),
       "take.bin: record 2 (byte 32): voice % 16 16 is not within 0..15"},
      {"negative frequency", RecordBytes({{0x123, -240, 3000, 4}}),
       "take.bin: record 0 (byte 0): frequency -240 is not within 0..131070"},
      {"gain past 16 bits", RecordBytes({{0x123, 240, 65536, 4}}),
       "take.bin: record 0 (byte 0): gain 65536 is not within 0..65535"},
      {"the highest gains", RecordBytes(std::vector<Record>(4, {0x123, 240, 65535, 4})), ""},
  };
  ScratchFolder work;
  ASSERT_TRUE(WriteSparseTable(work / "table.dat", kPlanted));
  for (const auto& test_case : cases) {
    ASSERT_TRUE(WriteBytes(work / "take.bin", test_case.bytes));
    std::filesystem::remove(work / "take.preview.wav");
    const ProcessResult result =
        RunProcess(KelditraPath(), {"preview", "--table", "table.dat", "take.wav"}, work.path(),
                   "C.UTF-8");
    if (*test_case.out != '\0') {
      EXPECT_EQ(result.status, 1) << test_case.name;
      EXPECT_EQ(result.out, std::string("take.wav: ") + test_case.out + "\n") << test_case.name;
      EXPECT_FALSE(std::filesystem::exists(work / "take.preview.wav")) << test_case.name;
      continue;
    }
    // 16 times the ladder's loudest gain: far past 16 bits, and the count
    // of clipped samples says so.
    EXPECT_EQ(result.status, 0) << test_case.name << result.err;
    const std::string written = "take.wav: wrote take.preview.wav (";
    ASSERT_EQ(result.out.compare(0, written.size(), written), 0) << result.out;
    EXPECT_GT(std::atoi(result.out.c_str() + written.size()), 0) << result.out;
    EXPECT_EQ(ReadBytes(work / "take.preview.wav").size(), 44 + 4 * 735 * 2u);
  }
}

}  // namespace

}  // namespace kelditra
