#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "analysis/frame_spectra.h"
#include "analysis/gain_ladder.h"
#include "analysis/voice_match.h"
#include "demo_voice.h"
#include "fm_voice_model.h"
#include "formats/voice_table.h"

namespace {

// The synthetic FM table, prepared, shared by the tests of this file.
class RankedMatch : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    table_ = new std::vector<uint8_t>();
    const FmVoiceModel model;
    for (int32_t voice = 0; voice < kVoiceCount; ++voice) AppendEntryBytes(model.Entry(voice), table_);
    skip_flags_ = new std::vector<uint8_t>(kVoiceCount);
    entry_sums_ = new std::vector<int32_t>(kVoiceCount);
    PrepareVoiceTable(table_->data(), skip_flags_->data(), entry_sums_->data());
  }
  static void TearDownTestSuite() {
    delete table_;
    delete skip_flags_;
    delete entry_sums_;
  }

  static PreparedVoiceTable Table() {
    return {table_->data(), skip_flags_->data(), entry_sums_->data()};
  }

  // Every entry's own best error, with no early exit at all: the slowest and
  // plainest statement of what the runner-up is.
  static int64_t BruteForceRunnerUp(const FrameSpectra& spectra, int32_t winner,
                                    const int32_t* ladder) {
    int64_t runner_up = INT64_MAX;
    for (int32_t voice = 0; voice < kVoiceCount; ++voice) {
      if ((*skip_flags_)[voice] != 0 || voice == winner) continue;
      const bool harmonic = MatchesHarmonicSpectrum(voice);
      const GainWindow window = GainWindowFor(
          (*entry_sums_)[voice], harmonic ? spectra.harmonic_sum : spectra.half_harmonic_sum, ladder);
      for (int32_t g = window.lower; g <= window.upper; ++g) {
        runner_up = std::min(runner_up, MatchingError(PreparedEntry(table_->data(), voice), ladder[g],
                                                      harmonic ? spectra.harmonic : spectra.half_harmonic,
                                                      INT64_MAX));
      }
    }
    return runner_up;
  }

  static std::vector<uint8_t>* table_;
  static std::vector<uint8_t>* skip_flags_;
  static std::vector<int32_t>* entry_sums_;
};

std::vector<uint8_t>* RankedMatch::table_ = nullptr;
std::vector<uint8_t>* RankedMatch::skip_flags_ = nullptr;
std::vector<int32_t>* RankedMatch::entry_sums_ = nullptr;

TEST_F(RankedMatch, WinnerIsThePlainSearchsAndRunnerUpIsTheNextBestEntry) {
  int32_t ladder[kGainSteps];
  BuildGainLadder(ladder);
  const DemoVoice voice = MakeDemoVoice(1.0);
  std::vector<uint8_t> sound;
  for (int16_t s : voice.samples) {
    sound.push_back(static_cast<uint8_t>(s));
    sound.push_back(static_cast<uint8_t>(static_cast<uint16_t>(s) >> 8));
  }
  // A random frame as well, at a fundamental far above the voice range.
  std::mt19937 random(7);
  std::vector<uint8_t> noise(735 * 2);
  for (uint8_t& byte : noise) byte = static_cast<uint8_t>(random());

  const std::vector<FrameSpectra> frames = {
      ComputeFrameSpectra(sound.data(), 20, voice.fundamentals[20]),
      ComputeFrameSpectra(sound.data(), 45, voice.fundamentals[45]),
      ComputeFrameSpectra(noise.data(), 0, 31000),
  };
  for (const FrameSpectra& spectra : frames) {
    const BestMatch plain = MatchFrame(spectra, Table(), ladder);
    const ::RankedMatch ranked = MatchFrameRanked(spectra, Table(), ladder);
    EXPECT_EQ(ranked.best.voice, plain.voice);
    EXPECT_EQ(ranked.best.gain_index, plain.gain_index);
    EXPECT_EQ(ranked.best.frequency, plain.frequency);
    EXPECT_EQ(ranked.best.error, plain.error);
    EXPECT_EQ(ranked.runner_up_error, BruteForceRunnerUp(spectra, plain.voice, ladder));
    EXPECT_GE(ranked.runner_up_error, ranked.best.error);
  }
}

}  // namespace
