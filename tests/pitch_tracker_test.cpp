#include "pitch/pitch_tracker.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "pitch/autocorrelation.h"
#include "pitch/exact_math.h"
#include "pitch_test_sounds.h"

namespace kelditra {

namespace {

using namespace pitch_test;

Segment With(Segment segment, double Segment::*field, double value) {
  segment.*field = value;
  return segment;
}

// Each sound stands for a voice the tracker meets, and for a fault that
// would show on it.
const std::vector<Sound> kSounds = {
    // The window's own taper weakens the peak at a long period: without
    // the correction the low notes fall under the voicing threshold.
    {"steady_notes",
     {Silence(0.1), Tone(0.4, 78, Bright(8)), Silence(0.1), Tone(0.4, 98), Silence(0.1),
      Tone(0.4, 147, Bright(4)), Silence(0.1), Tone(0.4, 220), Silence(0.1),
      Tone(0.4, 330, Bright(6)), Silence(0.1), Tone(0.4, 494), Silence(0.1),
      Tone(0.4, 580, Bright(3)), Silence(0.1)}},
    {"glides",
     {Glide(1.5, 90, 540, Bright(6)), Silence(0.2), Glide(1.0, 500, 150, Bright(6)),
      Silence(0.2), Glide(1.0, 80, 160, {1})}},
    {"vibrato",
     {Vibrato(2.0, 262, 50, 5.5, Bright(6)), Silence(0.2), Vibrato(1.5, 110, 100, 5.0, Bright(10))}},
    // A low voice whose energy lies at its 2nd and 3rd harmonics, and one
    // with no fundamental at all.
    {"weak_or_missing_fundamental",
     {Tone(0.5, 110, {0.05, 1, 0.8, 0.6, 0.5, 0.4, 0.3, 0.2}),
      Tone(0.5, 82, {0.03, 0.3, 1, 0.8, 0.6, 0.5, 0.4, 0.3, 0.2, 0.2}), Silence(0.1),
      Tone(0.5, 150, {0, 1, 1, 1, 1, 1, 1, 1})}},
    // Notes after noise and between noises; the noise stays unvoiced.
    {"noise_around_notes",
     {Noise(0.4, 0.3), Tone(0.4, 200, Bright(8)), Noise(0.4, 0.3), Tone(0.4, 300, Bright(8)),
      Silence(0.3), Noise(0.4, 0.3, true), Tone(0.4, 130, Bright(10)), Noise(0.3, 0.02),
      Silence(0.2), Noise(0.3, 0.05, true), Tone(0.4, 90, Bright(12))}},
    // Moments where the wave nearly repeats at half its period: a path
    // without a price on octave jumps follows them up an octave.
    {"octave_dips", {OddDips(2.0, 196, 0.4), Silence(0.2), OddDips(1.5, 131, 0.3)}},
    // Real leaps are followed. A wave that repeats after one period also
    // does after two, so a leap up an octave is taken once it has lasted
    // longer than the jump costs: about a third of a second.
    {"leaps",
     {Tone(0.3, 220, Bright(6)), Tone(0.3, 330, Bright(6)), Tone(0.3, 220, Bright(6)),
      Tone(0.3, 110, Bright(6)), Tone(0.8, 220, Bright(6))}},
    {"breathy_and_creaky",
     {Breathy(0.6, 180, 0.03), Silence(0.1), Creaky(0.6, 90, 0.3), Silence(0.1),
      Creaky(0.6, 120, 0.5)}},
    {"hum_and_clipping",
     {With(Tone(0.6, 160, Bright(6)), &Segment::hum, 0.05), With(Silence(0.3), &Segment::hum, 0.05),
      With(Tone(0.6, 240, Bright(6), 0.9), &Segment::clip, 0.4)}},
};

class PitchAccuracy : public ::testing::TestWithParam<size_t> {};

TEST_P(PitchAccuracy, VoicedFramesWithinAQuarterToneAndNothingElseVoiced) {
  const Rendered rendered = Render(kSounds[GetParam()]);
  const std::vector<uint16_t> track = TrackPitch(rendered.samples, {});
  // Frames near a segment boundary (truth -1) are not scored.
  int voiced = 0, close = 0, octave_off = 0, false_voiced = 0;
  for (size_t f = 0; f < track.size(); ++f) {
    const double truth = rendered.truth[f];
    const double off = truth > 0 && track[f] != 0 ? std::abs(Cents(track[f], truth)) : 1e9;
    voiced += truth > 0;
    close += off <= 50;
    octave_off += off >= 600 && off < 1e9;
    false_voiced += truth == 0 && track[f] != 0;
  }
  ASSERT_GT(voiced, 0);
  EXPECT_GE(close, 0.98 * voiced) << "of " << voiced;
  EXPECT_EQ(octave_off, 0);
  EXPECT_EQ(false_voiced, 0);
}

INSTANTIATE_TEST_SUITE_P(Sounds, PitchAccuracy, ::testing::Range<size_t>(0, kSounds.size()),
                         [](const auto& info) { return kSounds[info.param].name; });

TEST(PitchSettingsTest, RangeLevelAndThresholdDecide) {
  const Sound hum = {"", {Tone(0.5, 220, Bright(6), 0.9), Tone(0.5, 100, Bright(6), 0.004)}};
  const Sound faint = {"", {Silence(0.1), Tone(0.5, 220, Bright(6), 0.00006)}};
  const Sound above = {"", {Silence(0.1), Tone(0.5, 1000, Bright(3))}};
  const Sound below = {"", {Silence(0.1), Tone(0.5, 60, Bright(10))}};
  const Sound rough = {"", {Silence(0.1), Breathy(0.5, 200, 0.08)}};
  const Sound rougher = {"", {Silence(0.1), Breathy(0.5, 200, 0.25)}};
  // A voice that roughens for 30 ms stays one voiced stretch.
  const Sound catch_ = {"",
                        {Silence(0.1), Tone(0.4, 200, Bright(6)), Breathy(0.06, 200, 0.3),
                         Tone(0.4, 200, Bright(6))}};
  const Sound breath = {"",
                        {Silence(0.1), Tone(0.4, 200, Bright(6)), Breathy(0.15, 200, 0.25),
                         Tone(0.4, 200, Bright(6))}};
  const struct {
    const char* name;
    const Sound& sound;
    size_t scored;  // segments before the scored one
    PitchSettings settings;
    double expected_hz;  // 0: every frame unvoiced
  } cases[] = {
      {"a quiet tone after a loud one", hum, 1, {}, 0},
      {"a tone a few steps of 16 bits high", faint, 1, {}, 0},
      {"above the range: a subharmonic", above, 1, {}, 500},
      {"range widened upwards", above, 1, {75, 1500, 0.55}, 1000},
      {"below the range", below, 1, {}, 0},
      {"range widened downwards", below, 1, {50, 600, 0.55}, 60},
      {"noisy tone, default threshold", rough, 1, {}, 200},
      {"noisy tone, strict threshold", rough, 1, {75, 600, 0.1}, 0},
      {"noisier tone, default threshold", rougher, 1, {}, 0},
      {"noisier tone, lenient threshold", rougher, 1, {75, 600, 0.9}, 200},
      {"a rough moment inside a note", catch_, 2, {}, 200},
      {"a breath between two notes", breath, 2, {}, 0},
  };
  for (const auto& c : cases) {
    const std::vector<uint16_t> track = TrackPitch(Render(c.sound).samples, c.settings);
    double start = 0;
    for (size_t s = 0; s < c.scored; ++s) start += c.sound.segments[s].seconds;
    const double end = start + c.sound.segments[c.scored].seconds;
    int wrong = 0;
    for (size_t f = static_cast<size_t>(start * kRate / kFrame) + 3;
         f + 3 < track.size() && f < end * kRate / kFrame - 2; ++f) {
      const bool far = track[f] == 0 || std::abs(Cents(track[f], c.expected_hz)) > 50;
      wrong += c.expected_hz == 0 ? track[f] != 0 : far;
    }
    EXPECT_EQ(wrong, 0) << c.name;
  }
}

// The slow, plainly right sum that the transform must reproduce.
TEST(Autocorrelation, EqualsTheDirectSumForEveryLagAsked) {
  for (const auto& [length, max_lag] : {std::pair{1764, 590}, {100, 99}, {7, 3}}) {
    std::mt19937 random(length);
    std::uniform_real_distribution<double> uniform(-1, 1);
    std::vector<double> first(length), second(length);
    for (int32_t i = 0; i < length; ++i) first[i] = uniform(random), second[i] = uniform(random);
    std::vector<double> got_first = first, got_second = second;
    Autocorrelator(length, max_lag).Correlate(&got_first, &got_second);
    for (int32_t lag = 0; lag <= max_lag; ++lag) {
      double sum_first = 0, sum_second = 0;
      for (int32_t i = 0; i + lag < length; ++i) {
        sum_first += first[i] * first[i + lag];
        sum_second += second[i] * second[i + lag];
      }
      ASSERT_NEAR(got_first[lag], sum_first, 1e-9 * length) << length << " lag " << lag;
      ASSERT_NEAR(got_second[lag], sum_second, 1e-9 * length) << length << " lag " << lag;
    }
  }
}

// Our own cosine and logarithm stand in for the platform's so that every
// build tracks alike; they must be as good as the platform's.
TEST(ExactMath, WithinAFewUnitsInTheLastPlaceOfTheLibrary) {
  for (const int64_t n : {1, 2, 3, 7, 1765, 4096, 8192}) {
    for (int64_t k = -n; k <= 2 * n; ++k) {
      const long double turn = static_cast<long double>(k) / static_cast<long double>(n);
      const auto expected = static_cast<double>(std::cos(2 * 3.14159265358979323846264L * turn));
      ASSERT_NEAR(CosineOfTurn(k, n), expected, 4.5e-16) << k << "/" << n;
    }
  }
  for (double x = 1e-3; x < 1e4; x *= 1.0137) {
    ASSERT_NEAR(Log2(x), static_cast<double>(std::log2(static_cast<long double>(x))), 4.5e-16 * std::max(1.0, std::abs(std::log2(x)))) << x;
  }
  EXPECT_EQ(Log2(1), 0);
  EXPECT_EQ(Log2(1024), 10);
}

}  // namespace

}  // namespace kelditra
