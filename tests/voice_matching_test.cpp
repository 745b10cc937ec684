#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "analysis/frame_spectra.h"
#include "analysis/gain_ladder.h"
#include "analysis/voice_match.h"
#include "formats/voice_table.h"
#include "job/conversion_job.h"
#include "job_fixtures.h"
#include "scripted_host.h"
#include "test_support.h"

namespace kelditra {

namespace {

constexpr int kFrames = 2;

// An entry that, at the given gain, reproduces the target's compared bins
// 0..14 within the free margin of the error (0..7 above), and is 0 above.
RawEntry EntryMatching(const int32_t* target, int32_t gain) {
  RawEntry entry(128, 0);
  for (int j = 1; j < 8; ++j) {
    const int32_t wanted = target[2 * j];
    entry[2 * j] = static_cast<uint16_t>((int64_t{wanted} * 4096 + gain - 1) / gain);
  }
  return entry;
}

// Converts take.wav with folder's table.dat through a whole job, with the
// fast search or the plain one; its records.
std::vector<Record> RunJob(const ScratchFolder& folder, bool reference = false) {
  gBusyFlag = 0;
  ScriptedHost host;
  host.path_text = folder / "take.wav";
  JobSettings settings;
  settings.voice_table_path = folder / "table.dat";
  settings.search.reference_search = reference;
  RunConversionJob(host, settings);
  EXPECT_EQ(host.shown.at(0).text, utf8::kFinished);
  return ReadRecords(folder / "take.bin");
}

// Whole jobs over planted tables at 220 Hz, each frame's record worked out by
// hand. Gain 4172, ladder index 236, lies inside every planted entry's window.
TEST(VoiceMatching, PlantedTablesGiveTheExpectedRecords) {
  ScratchFolder folder;
  const auto sound = HarmonicSound(kFrames, 220, {8000, 4000, 2000, 1000});
  ASSERT_TRUE(WriteMonoWave(folder / "take.wav", sound));
  ASSERT_TRUE(WritePitchTrack(folder / "take.dat", std::vector<uint16_t>(kFrames, 220)));
  const FrameSpectra spectra = ComputeFrameSpectra(PcmBytes(sound).data(), 0, 220);
  const RawEntry exact = EntryMatching(spectra.half_harmonic, 4172);
  // A near miss, its strongest compared bin a third too high, which no gain
  // makes exact; the exact entry skipped for its odd bins, which the
  // comparison never sees.
  RawEntry near = exact;
  uint16_t& strongest = *std::max_element(near.begin(), near.end());
  strongest = static_cast<uint16_t>(strongest * 4 / 3);
  RawEntry skipped_exact = exact;
  skipped_exact[127] = 60000;
  const struct {
    const char* name;
    std::map<int32_t, RawEntry> planted;
    Record expected;  // the first frame's
  } cases[] = {
      {"half-harmonic winner carries the fundamental",
       {{0, RawEntry(128, 0)}, {4659, near}, {4660, exact}}, {291, 220, 4172, 4}},
      {"equal errors: the lowest index", {{4676, exact}, {4660, exact}, {4692, exact}},
       {291, 220, 4172, 4}},
      {"skipped entries never win, even at zero error", {{4659, skipped_exact}, {4660, exact}},
       {291, 220, 4172, 4}},
      {"nothing to try: a silent record", {}, {0, 0, 0, 0}},
  };
  // Both searches: each has a skip test and a tie rule of its own.
  for (const bool reference : {false, true}) {
    for (const auto& c : cases) {
      ASSERT_TRUE(WriteSparseTable(folder / "table.dat", c.planted));
      const std::vector<Record> records = RunJob(folder, reference);
      ASSERT_EQ(records.size(), size_t{kFrames}) << c.name;
      EXPECT_EQ(records[0], c.expected) << c.name << (reference ? ", plain search" : "");
    }
  }
}

// Bits 4 to 7 of a voice index: 0 matches the harmonic spectrum at twice the
// fundamental, any other value the half-harmonic one at the fundamental. The
// one live entry, 4096 at value 1, asks each spectrum for a gain of its own.
TEST(SpectrumChoice, EachValueOfBitsFourToSevenMeetsItsSpectrumAndFrequency) {
  constexpr int32_t kHarmonicWants = 529;        // ladder index 168
  constexpr int32_t kHalfHarmonicWants = 4172;   // ladder index 236
  FrameSpectra spectra{};
  spectra.fundamental = 220;
  spectra.harmonic[2] = spectra.harmonic_sum = kHarmonicWants;
  spectra.half_harmonic[2] = spectra.half_harmonic_sum = kHalfHarmonicWants;
  int32_t ladder[kGainSteps];
  BuildGainLadder(ladder);

  std::vector<uint16_t> entries(size_t{kVoiceCount} * kPreparedEntryValues, 0);
  std::vector<int32_t> sums(kVoiceCount, 0);
  for (int32_t bits = 0; bits < 16; ++bits) {
    const int32_t voice = 0x12003 | bits << 4;
    std::vector<uint8_t> skip(kVoiceCount, 1);
    skip[voice] = 0;
    entries[size_t{kPreparedEntryValues} * voice + 1] = 4096;
    sums[voice] = 4096;
    const PreparedVoiceTable table{reinterpret_cast<const uint8_t*>(entries.data()), skip.data(),
                                   sums.data()};
    const BestMatch best = MatchFrame(spectra, table, ladder);
    EXPECT_EQ(best.voice, voice);
    EXPECT_EQ(ladder[best.gain_index], bits == 0 ? kHarmonicWants : kHalfHarmonicWants)
        << "bits 4 to 7: " << bits;
    EXPECT_EQ(best.frequency, bits == 0 ? 440 : 220) << "bits 4 to 7: " << bits;
  }
}

// Each compared value costs |(scaled - frame) >> 3|^3, the shift rounding
// toward minus infinity: falling short by 1 to 8 costs 1, by 9 to 16 costs 8,
// while overshooting by up to 7 costs nothing.
TEST(MatchingError, ShortfallsRoundAwayFromZeroOvershootsTowardIt) {
  const struct {
    int32_t scaled_minus_frame;
    int64_t error;
  } cases[] = {{0, 0},  {7, 0},  {8, 1},   {15, 1},   {16, 8},
               {-1, 1}, {-8, 1}, {-9, 8},  {-16, 8},  {-17, 27}};
  const uint16_t entry[kPreparedEntryValues] = {0, 1000};  // at unit gain, 4096, value 1 is 1000
  for (const auto& c : cases) {
    int32_t frame[kSpectrumBins] = {};
    frame[2] = 1000 - c.scaled_minus_frame;
    EXPECT_EQ(MatchingError(entry, 4096, frame, INT64_MAX), c.error) << c.scaled_minus_frame;
  }
}

// Only bytes 2 and 3 of each 66-byte record count, low byte first; every
// frame past the track's end reads 0, however far past. With the live table
// each record's frequency is its frame's fundamental.
TEST(PitchTrackInJobs, ShortTracksReadZeroPastTheirEndAndOtherBytesCountForNothing) {
  constexpr int kSoundFrames = 80;
  ScratchFolder folder;
  std::filesystem::create_symlink(LiveTablePath(), folder / "table.dat");
  ASSERT_TRUE(WriteMonoWave(folder / "take.wav", HarmonicSound(kSoundFrames, 311, {5000})));
  const struct {
    int records;
    uint8_t junk;         // in every byte but the fundamental's
    size_t extra_bytes;   // of a record cut short, its fundamental 150 Hz
  } cases[] = {{kSoundFrames, 0xA5, 0}, {kSoundFrames + 40, 0x5A, 0}, {5, 0xEE, 0}, {0, 0, 0},
               {3, 0, 3}};
  for (const auto& c : cases) {
    std::vector<uint8_t> track(66 * c.records + c.extra_bytes, c.junk);
    for (int r = 0; r < c.records; ++r) track[66 * r + 2] = 0x37, track[66 * r + 3] = 0x01;
    if (c.extra_bytes >= 3) track[66 * c.records + 2] = 150;  // a field cut after its low byte
    ASSERT_TRUE(WriteBytes(folder / "take.dat", track));
    const std::vector<Record> records = RunJob(folder);
    ASSERT_EQ(records.size(), static_cast<size_t>(kSoundFrames));
    for (int frame = 0; frame < kSoundFrames; ++frame) {
      int32_t expected = frame < c.records ? 0x137 : 0;
      if (c.extra_bytes >= 3 && frame == c.records) expected = 150;
      ASSERT_EQ(records[frame].frequency, expected) << c.records << " records, frame " << frame;
    }
  }
}

}  // namespace

}  // namespace kelditra
