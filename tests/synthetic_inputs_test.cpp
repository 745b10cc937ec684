#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <string>
#include <vector>

#include "demo_voice.h"
#include "fixture_files.h"
#include "fm_voice_model.h"
#include "test_support.h"

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr int32_t kVoices = 262144;

int32_t Voice(int carrier_code, int modulator_code, int depth, int feedback) {
  return carrier_code | modulator_code << 4 | depth << 8 | feedback << 15;
}

int HalvesOf(int code) { return code == 0 ? 1 : 2 * code; }

double BesselJ(int order, double x) {
  const double value = std::cyl_bessel_j(std::abs(order), x);
  return order < 0 && order % 2 != 0 ? -value : value;
}

// Without feedback, sin(c t + b sin(m t)) = sum over k of J_k(b) sin((c + k m) t);
// a component below 0 Hz is sin of a negative argument, so it lands on |c + k m|
// with its sign flipped, and one at 0 Hz is sin(0) and vanishes.
std::vector<double> BesselEntry(int carrier_code, int modulator_code, double index) {
  const int c = HalvesOf(carrier_code);
  const int m = HalvesOf(modulator_code);
  std::vector<double> sine(128, 0.0);
  for (int k = -400; k <= 400; ++k) {
    const int n = c + k * m;
    if (n == 0 || std::abs(n) > 127) continue;
    sine[std::abs(n)] += (n > 0 ? 1.0 : -1.0) * BesselJ(k, index);
  }
  for (double& s : sine) s = 8192.0 * std::abs(s);
  return sine;
}

// The steady state of y = sin(p + f y) by plain bisection on u = p + f y.
double ModulatorByBisection(double phase, double feedback) {
  double low = phase - feedback - 1e-9;
  double high = phase + feedback + 1e-9;
  for (int i = 0; i < 80; ++i) {
    const double mid = 0.5 * (low + high);
    (mid - feedback * std::sin(mid) < phase ? low : high) = mid;
  }
  return std::sin(0.5 * (low + high));
}

// One period of F/2, sampled finely, and each bin measured by a direct DFT.
std::vector<double> SimulatedEntry(int carrier_code, int modulator_code, double index,
                                   double feedback) {
  constexpr int kSamples = 32768;
  const int c = HalvesOf(carrier_code);
  const int m = HalvesOf(modulator_code);
  std::vector<double> tone(kSamples);
  for (int j = 0; j < kSamples; ++j) {
    const double t = kTwoPi * j / kSamples;
    const double modulator = ModulatorByBisection(std::fmod(m * t, kTwoPi), feedback);
    tone[j] = std::sin(c * t + index * modulator);
  }
  std::vector<double> bins(128);
  for (int n = 0; n < 128; ++n) {
    std::complex<double> sum = 0.0;
    for (int j = 0; j < kSamples; ++j) {
      sum += tone[j] * std::polar(1.0, -kTwoPi * ((int64_t{n} * j) % kSamples) / kSamples);
    }
    bins[n] = 8192.0 * std::abs(sum) / kSamples * (n == 0 ? 1.0 : 2.0);
  }
  return bins;
}

bool PreparationSkips(const RawEntry& entry) {
  int32_t odd = 0;
  int32_t even = 0;
  for (int bin = 1; bin < 128; bin += 2) odd += entry[bin];
  for (int bin = 2; bin < 128; bin += 2) even += entry[bin];
  return 16 * odd > even;
}

class FmVoiceTable : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { model_ = new FmVoiceModel; }
  static void TearDownTestSuite() {
    delete model_;
    model_ = nullptr;
  }
  static FmVoiceModel* model_;
};
FmVoiceModel* FmVoiceTable::model_ = nullptr;

TEST(FmVoiceLevels, DepthClimbsInEqualLevelStepsToTheStrongestIndex) {
  EXPECT_EQ(ModulationIndex(0), 0.0);
  EXPECT_NEAR(ModulationIndex(127), 8.0, 1e-12);
  // 0.75 dB per step: every eight steps halve the index (6 dB).
  for (int step : {9, 64, 119}) {
    EXPECT_NEAR(ModulationIndex(step - 8) / ModulationIndex(step), std::pow(10.0, -6.0 / 20.0),
                1e-12);
  }
  EXPECT_EQ(FeedbackIndex(0), 0.0);
  EXPECT_NEAR(FeedbackIndex(7), 1.0, 1e-15);
}

TEST_F(FmVoiceTable, WithoutDepthOnlyTheCarrierSounds) {
  struct Case {
    int carrier_code, modulator_code, feedback;
    int bin;
  };
  const Case cases[] = {
      {3, 0, 0, 6}, {3, 5, 7, 6}, {0, 1, 0, 1}, {0, 0, 3, 1}, {1, 15, 0, 2}, {15, 2, 7, 30},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.carrier_code * 100 + c.modulator_code);
    const RawEntry entry = model_->Entry(Voice(c.carrier_code, c.modulator_code, 0, c.feedback));
    ASSERT_EQ(entry.size(), 128u);
    for (int bin = 0; bin < 128; ++bin) EXPECT_EQ(entry[bin], bin == c.bin ? 8192 : 0) << bin;
  }
}

TEST_F(FmVoiceTable, SidebandsStandSymmetricallyAroundTheCarrier) {
  // A modulator at 1 spaces sidebands two bins apart, one at 1/2 one bin
  // apart; upper and lower sidebands of the same order match as long as no
  // strong one folds back below 0 Hz.
  struct Case {
    int carrier_code, modulator_code, spacing;
  };
  for (const Case c : {Case{12, 1, 2}, Case{12, 0, 1}, Case{15, 2, 4}}) {
    SCOPED_TRACE(c.modulator_code);
    const int carrier = 2 * c.carrier_code;
    const RawEntry entry = model_->Entry(Voice(c.carrier_code, c.modulator_code, 100, 0));
    EXPECT_GT(entry[carrier + c.spacing], 500);
    for (int order = 1; carrier - order * c.spacing > 0; ++order) {
      EXPECT_NEAR(entry[carrier + order * c.spacing], entry[carrier - order * c.spacing], 1)
          << order;
    }
    for (int bin = 0; bin < 128; ++bin) {
      if ((bin - carrier) % c.spacing != 0) {
        EXPECT_EQ(entry[bin], 0) << bin;
      }
    }
  }
}

TEST_F(FmVoiceTable, EntriesWithoutFeedbackFollowBesselFunctions) {
  // Every 97th voice without feedback: all multiples, depths and the folding of
  // lower sidebands below 0 Hz.
  int checked = 0;
  for (int32_t voice = 0; voice < 32768; voice += 97) {
    const RawEntry entry = model_->Entry(voice);
    const std::vector<double> expected =
        BesselEntry(voice & 15, (voice >> 4) & 15, ModulationIndex((voice >> 8) & 127));
    for (int bin = 0; bin < 128; ++bin) {
      ASSERT_NEAR(entry[bin], expected[bin], 1.0) << "voice " << voice << " bin " << bin;
    }
    ++checked;
  }
  EXPECT_GT(checked, 300);
}

TEST_F(FmVoiceTable, FeedbackEntriesMatchADirectSimulationOfTheTone) {
  struct Case {
    int carrier_code, modulator_code, depth, feedback;
  };
  const Case cases[] = {
      {1, 1, 120, 3},   // moderate depth and feedback
      {2, 0, 110, 7},   // half-multiple modulator at the feedback cusp
      {3, 2, 127, 7},   // strongest depth and feedback, folding below 0 Hz
      {0, 3, 90, 5},    // half-multiple carrier
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.carrier_code * 1000 + c.modulator_code * 100 + c.feedback);
    const RawEntry entry = model_->Entry(Voice(c.carrier_code, c.modulator_code, c.depth, c.feedback));
    const std::vector<double> expected = SimulatedEntry(
        c.carrier_code, c.modulator_code, ModulationIndex(c.depth), FeedbackIndex(c.feedback));
    for (int bin = 0; bin < 128; ++bin) EXPECT_NEAR(entry[bin], expected[bin], 2.0) << bin;
    // Feedback must change the tone, or the case proves nothing.
    EXPECT_NE(entry, model_->Entry(Voice(c.carrier_code, c.modulator_code, c.depth, 0)));
  }
}

TEST_F(FmVoiceTable, SkipRuleSetsAsideHalfMultiplesAsTheModelPredicts) {
  int32_t skipped = 0;
  int32_t half_modulator = 0;
  int32_t half_modulator_kept = 0;
  for (int32_t voice = 0; voice < kVoices; ++voice) {
    const RawEntry entry = model_->Entry(voice);
    const bool skip = PreparationSkips(entry);
    const int carrier_code = voice & 15;
    const int modulator_code = (voice >> 4) & 15;
    // Whole multiples put every component on an even bin; a half carrier
    // against a whole modulator puts every component on an odd one.
    if (modulator_code != 0) {
      ASSERT_EQ(skip, carrier_code == 0) << voice;
    }
    skipped += skip;
    if (modulator_code == 0) {
      ++half_modulator;
      half_modulator_kept += !skip;
    }
  }
  EXPECT_NEAR(static_cast<double>(skipped) / kVoices, 0.09, 0.03);
  EXPECT_NEAR(static_cast<double>(half_modulator_kept) / half_modulator, 0.5, 0.1);
}

TEST_F(FmVoiceTable, TheWrittenTableIsFullSizeLittleEndianAndReproducible) {
  ScratchFolder folder;
  const std::string path = folder / "fm_table2.dat";
  ASSERT_TRUE(WriteVoiceTable(path, [](int32_t voice) { return model_->Entry(voice); }));
  const std::vector<uint8_t> bytes = ReadBytes(path);
  ASSERT_EQ(bytes.size(), 67108864u);
  // Voice 3 without depth: 8192 (0x2000) in bin 6 and nothing else.
  for (int offset = 0; offset < 256; ++offset) {
    EXPECT_EQ(bytes[256 * 3 + offset], offset == 13 ? 0x20 : 0) << offset;
  }
  // A second model, built from scratch, must give the same bytes everywhere.
  const FmVoiceModel again;
  for (int32_t voice = 0; voice < kVoices; ++voice) {
    const RawEntry entry = again.Entry(voice);
    for (int bin = 0; bin < 128; ++bin) {
      const size_t at = 256 * size_t(voice) + 2 * bin;
      ASSERT_EQ(bytes[at] | bytes[at + 1] << 8, entry[bin]) << voice << " " << bin;
    }
  }
}

// ---- the demo's sung phrase ----

int Frames(const DemoVoice& voice) { return static_cast<int>(voice.fundamentals.size()); }

// The f0 that the samples of a frame really carry: the strongest normalised
// autocorrelation over a window spanning the frame and its neighbours, taking
// the shortest lag that comes close to the best so that a double period loses.
double MeasuredPitch(const std::vector<int16_t>& samples, int frame) {
  const int begin = (frame - 1) * 735;
  const int length = 3 * 735;
  auto correlation = [&](int lag) {
    double cross = 0.0, first = 0.0, second = 0.0;
    for (int n = begin; n < begin + length; ++n) {
      const double now = samples[n];
      const double later = samples[n + lag];
      cross += now * later;
      first += now * now;
      second += later * later;
    }
    return cross / std::sqrt(first * second);
  };
  const int shortest = 44100 / 400;
  const int longest = 44100 / 140;
  std::vector<double> r(longest + 2, 0.0);
  double best = 0.0;
  for (int lag = shortest - 1; lag <= longest + 1; ++lag) {
    r[lag] = correlation(lag);
    best = std::max(best, r[lag]);
  }
  for (int lag = shortest; lag <= longest; ++lag) {
    if (r[lag] >= 0.9 * best && r[lag] >= r[lag - 1] && r[lag] >= r[lag + 1]) {
      const double bend = r[lag - 1] - 2.0 * r[lag] + r[lag + 1];
      const double shift = bend < 0.0 ? 0.5 * (r[lag - 1] - r[lag + 1]) / bend : 0.0;
      return 44100.0 / (lag + shift);
    }
  }
  return 0.0;
}

TEST(DemoVoice, WholeFramesSilentAtBothEndsAndReproducible) {
  struct Case {
    double seconds;
    int frames;
  };
  for (const Case c : {Case{3.0, 180}, Case{1.25, 75}, Case{0.8, 48}, Case{2.008, 120}}) {
    SCOPED_TRACE(c.seconds);
    const DemoVoice voice = MakeDemoVoice(c.seconds);
    ASSERT_EQ(Frames(voice), c.frames);
    ASSERT_EQ(voice.samples.size(), size_t(c.frames) * 735);
    for (int frame = 0; frame < c.frames; ++frame) {
      const bool silent = frame < 9 || frame >= c.frames - 9;
      const auto first = voice.samples.begin() + frame * 735;
      const bool all_zero = std::all_of(first, first + 735, [](int16_t s) { return s == 0; });
      EXPECT_EQ(voice.fundamentals[frame] == 0, silent) << frame;
      EXPECT_EQ(all_zero, silent) << frame;
    }
    int loudest = 0;
    for (int16_t s : voice.samples) loudest = std::max(loudest, std::abs(int{s}));
    EXPECT_GE(loudest, 23000);  // -3 dBFS is 23197
    EXPECT_LE(loudest, 23198);
    const DemoVoice again = MakeDemoVoice(c.seconds);
    EXPECT_EQ(again.samples, voice.samples);
    EXPECT_EQ(again.fundamentals, voice.fundamentals);
  }
}

TEST(DemoVoice, RefusesLengthsThatCannotHoldThePhrase) {
  for (double seconds : {0.79, 0.0, -3.0, std::nan(""), 601.0}) {
    const DemoVoice voice = MakeDemoVoice(seconds);
    EXPECT_TRUE(voice.samples.empty()) << seconds;
    EXPECT_TRUE(voice.fundamentals.empty()) << seconds;
  }
}

TEST(DemoVoice, PitchTrackHoldsAt180GlidesAndHoldsAt300WithVibrato) {
  const DemoVoice voice = MakeDemoVoice(3.0);
  // 162 voiced frames, 9 to 170: the first quarter holds, the last quarter
  // holds at the top, vibrato of about 3% throughout once settled.
  const int voiced = 162;
  int low_min = 1000, low_max = 0, high_min = 1000, high_max = 0;
  double low_sum = 0.0, high_sum = 0.0;
  int low_count = 0, high_count = 0;
  for (int i = 0; i < voiced; ++i) {
    const int f0 = voice.fundamentals[9 + i];
    EXPECT_GE(f0, 174) << i;
    EXPECT_LE(f0, 309) << i;
    if (i < voiced / 4) {
      EXPECT_NEAR(f0, 180, 6) << i;
      if (i >= 18) {  // past the vibrato's settling
        low_min = std::min(low_min, f0);
        low_max = std::max(low_max, f0);
      }
      low_sum += f0;
      ++low_count;
    } else if (i >= 3 * voiced / 4) {
      EXPECT_NEAR(f0, 300, 10) << i;
      high_min = std::min(high_min, f0);
      high_max = std::max(high_max, f0);
      high_sum += f0;
      ++high_count;
    }
  }
  EXPECT_NEAR(low_sum / low_count, 180.0, 2.0);
  EXPECT_NEAR(high_sum / high_count, 300.0, 3.0);
  EXPECT_GE(low_max - low_min, 8);  // about +-3% of 180, a little smoothed by the frames
  EXPECT_LE(low_max - low_min, 12);
  EXPECT_GE(high_max - high_min, 14);
  EXPECT_LE(high_max - high_min, 19);
}

TEST(DemoVoice, TheSamplesCarryThePitchTheTrackStates) {
  const DemoVoice voice = MakeDemoVoice(3.0);
  for (int frame : {15, 40, 70, 90, 110, 140, 165}) {
    const double measured = MeasuredPitch(voice.samples, frame);
    EXPECT_NEAR(measured, voice.fundamentals[frame], 0.02 * voice.fundamentals[frame]) << frame;
  }
}

}  // namespace
