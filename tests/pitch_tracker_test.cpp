#include "pitch/pitch_tracker.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "pitch_test_sounds.h"

namespace {

using namespace pitch_test;

const std::vector<Sound> kSounds = {
    {"steady_sines",
     {Silence(0.1), Tone(0.4, 65), Silence(0.1), Tone(0.4, 98), Silence(0.1), Tone(0.4, 147),
      Silence(0.1), Tone(0.4, 220), Silence(0.1), Tone(0.4, 330), Silence(0.1), Tone(0.4, 494),
      Silence(0.1), Tone(0.4, 740), Silence(0.1), Tone(0.4, 988), Silence(0.1)}},
    {"glides",
     {Glide(2.0, 110, 880, Bright(6)), Silence(0.2), Glide(1.5, 700, 150, Bright(6)),
      Silence(0.2), Glide(1.0, 70, 140, {1})}},
    {"vibrato",
     {Vibrato(2.0, 262, 50, 5.5, Bright(6)), Silence(0.2), Vibrato(1.5, 600, 80, 6.5),
      Silence(0.2), Vibrato(1.5, 110, 100, 5.0, Bright(10))}},
    {"weak_or_missing_fundamental",
     {Tone(0.5, 110, {0.05, 1, 0.8, 0.6, 0.5, 0.4, 0.3, 0.2}),
      Tone(0.5, 82, {0.03, 0.3, 1, 0.8, 0.6, 0.5, 0.4, 0.3, 0.2, 0.2}), Silence(0.1),
      Tone(0.5, 150, {0, 1, 1, 1, 1, 1, 1, 1}), Tone(0.5, 300, {0, 0, 1, 1, 1, 1})}},
    {"noise_between_notes",
     {Tone(0.4, 200, Bright(8)), Noise(0.4, 0.3), Tone(0.4, 300, Bright(8)), Silence(0.3),
      Tone(0.4, 450, Bright(5)), Noise(0.4, 0.3, true), Tone(0.4, 130, Bright(10)),
      Noise(0.3, 0.02), Silence(0.2), Noise(0.3, 0.05, true), Tone(0.4, 80, Bright(12))}},
    {"octave_slips", {OddDips(2.0, 196, 0.4), Silence(0.2), OddDips(1.5, 131, 0.3)}},
    {"octave_leaps",
     {Tone(0.3, 220, Bright(6)), Tone(0.3, 440, Bright(6)), Tone(0.3, 220, Bright(6)),
      Tone(0.3, 110, Bright(6)), Tone(0.3, 220, Bright(6))}},
    {"formant",
     {Tone(0.6, 80, {0.1, 0.1, 0.2, 0.5, 1, 1, 0.5, 0.2, 0.1}), Silence(0.1),
      Tone(0.6, 95, {0.05, 0.1, 0.2, 0.3, 0.6, 1, 0.6, 0.2, 0.1}), Silence(0.1),
      Tone(0.6, 70, {0.05, 0.1, 0.1, 0.3, 0.6, 1, 1, 0.6, 0.2, 0.1})}},
};

std::vector<PitchMethod> Methods() {
  if (!PitchMethodAvailable(PitchMethod::kAubioYinFft)) return {PitchMethod::kYin};
  return {PitchMethod::kYin, PitchMethod::kAubioYinFft};
}

class PitchAccuracy : public ::testing::TestWithParam<std::tuple<size_t, PitchMethod>> {};

TEST_P(PitchAccuracy, VoicedFramesWithinAQuarterToneAndNothingElseVoiced) {
  const Rendered rendered = Render(kSounds[std::get<0>(GetParam())]);
  const std::vector<uint16_t> track = TrackPitch(rendered.samples, {}, std::get<1>(GetParam()));
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

INSTANTIATE_TEST_SUITE_P(Sounds, PitchAccuracy,
                         ::testing::Combine(::testing::Range<size_t>(0, kSounds.size()),
                                            ::testing::ValuesIn(Methods())),
                         [](const auto& info) {
                           return kSounds[std::get<0>(info.param)].name + "_" +
                                  PitchMethodName(std::get<1>(info.param));
                         });

TEST(PitchSettingsTest, RangeGateAndThresholdDecide) {
  // The hum: RMS 0.0014, above the absolute floor but 47 dB under the note.
  const Sound hum = {"", {Tone(0.5, 220, Bright(6), 0.9), Tone(0.5, 100, Bright(6), 0.004)}};
  const Sound dim = {"", {Silence(0.1), Tone(0.5, 220, Bright(6), 0.0008)}};
  const Sound above = {"", {Silence(0.1), Tone(0.5, 1200, Bright(3))}};
  const Sound below = {"", {Silence(0.1), Tone(0.5, 50, Bright(10))}};
  // Aperiodicity about 0.09 and 0.45.
  const Sound rough = {"", {Silence(0.1), Breathy(0.5, 200, 0.06)}};
  const Sound rougher = {"", {Silence(0.1), Breathy(0.5, 200, 0.18)}};
  const struct {
    const char* name;
    const Sound& sound;  // its second segment is scored
    PitchSettings settings;
    double expected_hz;  // 0: every frame unvoiced
  } cases[] = {
      {"hum 47 dB under the loudest frame", hum, {}, 0},
      {"a tone at -65 dB of full scale", dim, {}, 0},
      {"above the range: its subharmonic", above, {}, 600},
      {"range widened upwards", above, {60, 1500, 0.3}, 1200},
      {"below the range", below, {}, 0},
      {"range widened downwards", below, {40, 1000, 0.3}, 50},
      {"noisy tone, default threshold", rough, {}, 200},
      {"noisy tone, strict threshold", rough, {60, 1000, 0.05}, 0},
      {"noisier tone, default threshold", rougher, {}, 0},
      {"noisier tone, lenient threshold", rougher, {60, 1000, 0.6}, 200},
  };
  for (const PitchMethod method : Methods()) {
    for (const auto& c : cases) {
      const std::vector<uint16_t> track = TrackPitch(Render(c.sound).samples, c.settings, method);
      const size_t first = static_cast<size_t>(c.sound.segments[0].seconds * kRate / kFrame) + 2;
      int wrong = 0;
      for (size_t f = first; f + 2 < track.size(); ++f) {
        const bool far = track[f] == 0 || std::abs(Cents(track[f], c.expected_hz)) > 50;
        wrong += c.expected_hz == 0 ? track[f] != 0 : far;
      }
      EXPECT_EQ(wrong, 0) << c.name << ", " << PitchMethodName(method);
    }
  }
}

}  // namespace
