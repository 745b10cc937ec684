#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "demo_voice.h"
#include "fm_voice_model.h"
#include "pitch/pitch_tracker.h"

namespace {

// Without feedback, sin(c t + b sin(m t)) = sum over k of J_k(b) sin((c + k m) t),
// with multiples c and m in halves (code 0 is a half) and an index that climbs
// 0.75 dB per depth step to 8 at step 127. A component below 0 Hz lands on
// |c + k m| with its sign flipped, and one at 0 Hz vanishes.
std::vector<double> BesselEntry(int32_t voice) {
  auto halves = [](int code) { return code == 0 ? 1 : 2 * code; };
  const int c = halves(voice & 15);
  const int m = halves((voice >> 4) & 15);
  const int depth = (voice >> 8) & 127;
  const double index = depth == 0 ? 0.0 : 8.0 * std::pow(10.0, -0.75 * (127 - depth) / 20);
  std::vector<double> sine(128, 0.0);
  for (int k = -400; k <= 400; ++k) {
    const int n = c + k * m;
    if (n == 0 || std::abs(n) > 127) continue;
    const double j = std::cyl_bessel_j(std::abs(k), index) * (k < 0 && k % 2 != 0 ? -1 : 1);
    sine[std::abs(n)] += (n > 0 ? 1.0 : -1.0) * j;
  }
  for (double& s : sine) s = 8192.0 * std::abs(s);
  return sine;
}

// Every 97th voice without feedback: all multiples, depths and the folding
// of lower sidebands below 0 Hz. Feedback acts on the modulator only: heard
// through depth, never without.
TEST(FmVoiceTable, EveryIndexBitShapesTheEntryAsFmTheoryPredicts) {
  const FmVoiceModel model;
  for (int32_t voice = 0; voice < 32768; voice += 97) {
    const RawEntry entry = model.Entry(voice);
    const std::vector<double> expected = BesselEntry(voice);
    for (int bin = 0; bin < 128; ++bin) {
      ASSERT_NEAR(entry[bin], expected[bin], 1.0) << "voice " << voice << " bin " << bin;
    }
    const int depth = voice >> 8 & 127;
    if (depth == 0 || depth > 100) {
      EXPECT_EQ(model.Entry(voice | 5 << 15) == entry, depth == 0) << voice;
    }
  }
  EXPECT_NE(model.Entry(0x11 | 120 << 8 | 3 << 15), model.Entry(0x11 | 120 << 8 | 7 << 15));
}

// What the demo and the fast search's frames rely on: whole frames, silent
// and unpitched at both ends, and a pitch track that a tracker hears in the
// sound within a quarter tone.
TEST(DemoVoice, WholeFramesSilentAtBothEndsAndCarryingItsPitchTrack) {
  for (const auto& [seconds, frames] : {std::pair{3.0, 180}, {0.8, 48}, {2.008, 120}}) {
    const DemoVoice voice = MakeDemoVoice(seconds);
    ASSERT_EQ(voice.fundamentals.size(), size_t(frames)) << seconds;
    ASSERT_EQ(voice.samples.size(), size_t(frames) * 735) << seconds;
    for (int frame = 0; frame < frames; ++frame) {
      const bool silent = frame < 9 || frame >= frames - 9;
      const auto first = voice.samples.begin() + frame * 735;
      EXPECT_EQ(voice.fundamentals[frame] == 0, silent) << frame;
      EXPECT_EQ(std::all_of(first, first + 735, [](int16_t s) { return s == 0; }), silent) << frame;
    }
  }
  const DemoVoice voice = MakeDemoVoice(3.0);
  std::vector<float> sound;
  for (int16_t s : voice.samples) sound.push_back(s / 32768.0f);
  const std::vector<uint16_t> heard = TrackPitch(sound, {}, PitchMethod::kYin);
  ASSERT_EQ(heard.size(), voice.fundamentals.size());
  for (int frame = 12; frame < 168; ++frame) {
    const double stated = voice.fundamentals[frame];
    EXPECT_NEAR(heard[frame], stated, 0.03 * stated) << frame;
  }
}

}  // namespace
