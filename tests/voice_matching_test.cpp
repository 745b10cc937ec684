#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "analysis/frame_spectra.h"
#include "analysis/gain_ladder.h"
#include "analysis/voice_match.h"
#include "formats/voice_table.h"
#include "job/conversion_job.h"
#include "job_fixtures.h"
#include "scripted_host.h"
#include "test_support.h"

namespace {

constexpr int kFrames = 2;
const std::vector<double> kVoice = {8000, 4000, 2000, 1000};

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

// A near miss: the same entry with its strongest compared bin a third too
// high, which no gain can make exact.
RawEntry NearMiss(const int32_t* target, int32_t gain) {
  RawEntry entry = EntryMatching(target, gain);
  auto strongest = std::max_element(entry.begin(), entry.end());
  *strongest = static_cast<uint16_t>(*strongest * 4 / 3);
  return entry;
}

// Converts take.wav with folder's table.dat through a whole job, with the
// fast search or the plain one; its records.
std::vector<Record> RunJob(const ScratchFolder& folder, bool reference = false) {
  ScriptedHost host;
  host.path_text = folder / "take.wav";
  JobSettings settings;
  settings.voice_table_path = folder / "table.dat";
  settings.search.reference_search = reference;
  RunConversionJob(host, settings);
  EXPECT_EQ(host.shown.at(0).text, utf8::kFinished);
  return ReadRecords(folder / "take.bin");
}

class VoiceMatching : public ::testing::Test {
 protected:
  void SetUp() override {
    gBusyFlag = 0;
    BuildGainLadder(ladder_);
  }

  FrameSpectra SpectraOf(const std::vector<int16_t>& sound, int32_t fundamental) {
    const auto bytes = PcmBytes(sound);
    return ComputeFrameSpectra(bytes.data(), 0, fundamental);
  }

  // Runs a whole job over the sound with the planted table; its records.
  std::vector<Record> Convert(const std::map<int32_t, RawEntry>& planted,
                              const std::vector<int16_t>& sound, uint16_t fundamental,
                              bool reference) {
    EXPECT_TRUE(WriteSparseTable(folder_ / "table.dat", planted));
    EXPECT_TRUE(WriteMonoWave(folder_ / "take.wav", sound));
    EXPECT_TRUE(WritePitchTrack(folder_ / "take.dat",
                                std::vector<uint16_t>(sound.size() / 735, fundamental)));
    return RunJob(folder_, reference);
  }

  bool WindowHolds(const RawEntry& entry, int32_t target_sum, int32_t gain_index) {
    int32_t sum = 0;
    for (uint16_t v : entry) sum += v;
    const GainWindow window = GainWindowFor(sum, target_sum, ladder_);
    return window.lower <= gain_index && gain_index <= window.upper;
  }

  int32_t ladder_[kGainSteps];
  ScratchFolder folder_;
};

// Whole jobs over planted tables, each frame's record worked out by hand.
TEST_F(VoiceMatching, PlantedTablesGiveTheExpectedRecords) {
  const auto sound = HarmonicSound(kFrames, 220, kVoice);
  const FrameSpectra spectra = SpectraOf(sound, 220);
  const RawEntry exact = EntryMatching(spectra.half_harmonic, ladder_[236]);
  const RawEntry near = NearMiss(spectra.half_harmonic, ladder_[236]);
  ASSERT_TRUE(WindowHolds(exact, spectra.half_harmonic_sum, 236));
  // Skipped for its odd bins, which the comparison never sees.
  RawEntry skipped_exact = exact;
  skipped_exact[127] = 60000;
  // Only the even harmonics of 220 Hz, so the harmonic spectrum's compared
  // bins hold nearly all of its sum.
  const auto even = HarmonicSound(kFrames, 440, {6000, 3000});
  const FrameSpectra even_spectra = SpectraOf(even, 220);
  const RawEntry even_exact = EntryMatching(even_spectra.harmonic, ladder_[236]);
  ASSERT_TRUE(WindowHolds(even_exact, even_spectra.harmonic_sum, 236));
  // Too small to register at any gain of its window (1..2 for an entry sum of
  // 1500): in silence it costs nothing at each, so its lowest gain wins and a
  // later entry of the same kind cannot replace it.
  RawEntry faint(128, 0);
  faint[2] = 750;
  faint[4] = 750;
  const std::vector<int16_t> silence(kFrames * 735, 0);
  const struct {
    const char* name;
    std::map<int32_t, RawEntry> planted;
    const std::vector<int16_t>& sound;
    uint16_t fundamental;
    Record expected;  // the first frame's
  } cases[] = {
      {"half-harmonic winner carries the fundamental",
       {{0, RawEntry(128, 0)}, {4659, near}, {4660, exact}}, sound, 220, {291, 220, 4172, 4}},
      {"harmonic winner carries twice the fundamental",
       {{4100, NearMiss(even_spectra.harmonic, ladder_[236])}, {4101, even_exact}}, even, 220,
       {256, 440, 4172, 5}},
      {"equal errors: the lowest index", {{4676, exact}, {4660, exact}, {4692, exact}}, sound, 220,
       {291, 220, 4172, 4}},
      {"skipped entries never win, even at zero error", {{4659, skipped_exact}, {4660, exact}},
       sound, 220, {291, 220, 4172, 4}},
      {"equal errors: the lowest gain", {{300, faint}, {301, faint}}, silence, 0, {18, 0, 1, 12}},
      {"nothing to try: a silent record", {}, sound, 220, {0, 0, 0, 0}},
  };
  // Both searches: each has a skip test and a tie rule of its own.
  for (const bool reference : {false, true}) {
    for (const auto& c : cases) {
      const std::vector<Record> records = Convert(c.planted, c.sound, c.fundamental, reference);
      ASSERT_EQ(records.size(), size_t{kFrames}) << c.name;
      EXPECT_EQ(records[0], c.expected) << c.name << (reference ? ", plain search" : "");
    }
  }
}

// Bits 4 to 7 of a voice index choose what it is matched against: 0, the
// harmonic spectrum and twice the fundamental; any other value, the
// half-harmonic spectrum and the fundamental. One live entry whose compared
// value 1 is 4096 scales to exactly the ladder's value; the two spectra ask
// for different gains at their bin 2, so the gain tells which one was met.
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
  for (const auto& c : cases) {
    uint16_t entry[kPreparedEntryValues] = {};
    int32_t frame[kSpectrumBins] = {};
    entry[1] = 1000;  // at unit gain, 4096, it scales to itself
    frame[2] = 1000 - c.scaled_minus_frame;
    EXPECT_EQ(MatchingError(entry, 4096, frame, INT64_MAX), c.error) << c.scaled_minus_frame;
  }
}

class PitchTrackInJobs : public ::testing::Test {
 protected:
  void SetUp() override {
    gBusyFlag = 0;
    // A live half-harmonic entry wins every voiced frame, so each record's
    // frequency is the frame's fundamental.
    RawEntry live(128, 0);
    live[2] = 4000;
    ASSERT_TRUE(WriteSparseTable(folder_ / "table.dat", {{100, live}}));
    ASSERT_TRUE(WriteMonoWave(folder_ / "take.wav", HarmonicSound(kSoundFrames, 311, {5000})));
  }

  std::vector<int32_t> Frequencies(const std::vector<uint8_t>& track) {
    EXPECT_TRUE(WriteBytes(folder_ / "take.dat", track));
    std::vector<int32_t> frequencies;
    for (const Record& r : RunJob(folder_)) frequencies.push_back(r.frequency);
    return frequencies;
  }

  static constexpr int kSoundFrames = 80;
  ScratchFolder folder_;
};

// Only bytes 2 and 3 of each record count, low byte first; every frame past
// the track's end reads 0, however far past (the sound has 80 frames).
TEST_F(PitchTrackInJobs, ShortTracksReadZeroPastTheirEndAndOtherBytesCountForNothing) {
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
    const auto frequencies = Frequencies(track);
    ASSERT_EQ(frequencies.size(), static_cast<size_t>(kSoundFrames));
    for (int frame = 0; frame < kSoundFrames; ++frame) {
      int32_t expected = frame < c.records ? 0x137 : 0;
      if (c.extra_bytes >= 3 && frame == c.records) expected = 150;
      ASSERT_EQ(frequencies[frame], expected) << c.records << " records, frame " << frame;
    }
  }
}

}  // namespace
