#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "demo_voice.h"
#include "table/fm_voice_model.h"
#include "pitch/pitch_tracker.h"

namespace kelditra {

namespace {

// The demo and the fast search's tests lean on a table in which every bit of
// the index counts: flipped in a modulated voice with feedback, each bit gives
// another entry.
TEST(FmVoiceTable, EveryIndexBitChangesTheEntry) {
  const FmVoiceModel model;
  const int32_t voice = 0x11 | 120 << 8 | 3 << 15;
  for (int bit = 0; bit < 18; ++bit) {
    EXPECT_NE(model.Entry(voice), model.Entry(voice ^ 1 << bit)) << "bit " << bit;
  }
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
  const std::vector<uint16_t> heard = TrackPitch(sound, {});
  ASSERT_EQ(heard.size(), voice.fundamentals.size());
  for (int frame = 12; frame < 168; ++frame) {
    const double stated = voice.fundamentals[frame];
    EXPECT_NEAR(heard[frame], stated, 0.03 * stated) << frame;
  }
}

}  // namespace

}  // namespace kelditra
