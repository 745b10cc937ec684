#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "demo_voice.h"
#include "fixture_files.h"
#include "fm_voice_model.h"
#include "test_support.h"

namespace {

constexpr int32_t kVoices = 262144;

int HalvesOf(int code) { return code == 0 ? 1 : 2 * code; }

// Depth steps climb 0.75 dB each to an index of 8 at step 127.
double IndexOf(int depth) {
  return depth == 0 ? 0.0 : 8.0 * std::pow(10.0, -0.75 * (127 - depth) / 20);
}

// Without feedback, sin(c t + b sin(m t)) = sum over k of J_k(b) sin((c + k m) t);
// a component below 0 Hz lands on |c + k m| with its sign flipped, and one at
// 0 Hz vanishes.
std::vector<double> BesselEntry(int32_t voice) {
  const int c = HalvesOf(voice & 15);
  const int m = HalvesOf((voice >> 4) & 15);
  const double index = IndexOf((voice >> 8) & 127);
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

TEST(FmVoiceTable, EveryIndexBitShapesTheEntryAsFmTheoryPredicts) {
  const FmVoiceModel model;
  // Every 97th voice without feedback: all multiples, depths and the folding
  // of lower sidebands below 0 Hz.
  for (int32_t voice = 0; voice < 32768; voice += 97) {
    const RawEntry entry = model.Entry(voice);
    const std::vector<double> expected = BesselEntry(voice);
    for (int bin = 0; bin < 128; ++bin) {
      ASSERT_NEAR(entry[bin], expected[bin], 1.0) << "voice " << voice << " bin " << bin;
    }
    // Feedback acts on the modulator only: heard through depth, never without.
    const int depth = voice >> 8 & 127;
    if (depth == 0 || depth > 100) {
      EXPECT_EQ(model.Entry(voice | 5 << 15) == entry, depth == 0) << voice;
    }
  }
  EXPECT_NE(model.Entry(0x11 | 120 << 8 | 3 << 15), model.Entry(0x11 | 120 << 8 | 7 << 15));
}

TEST(FmVoiceTable, TheWrittenTableIsReproducibleAndSkipsHalfMultiplesAsPredicted) {
  ScratchFolder folder;
  const std::string path = folder / "fm_table2.dat";
  {
    const FmVoiceModel model;
    ASSERT_TRUE(WriteVoiceTable(path, [&](int32_t voice) { return model.Entry(voice); }));
  }
  const std::vector<uint8_t> bytes = ReadBytes(path);
  ASSERT_EQ(bytes.size(), 67108864u);
  // Voice 3 without depth: 8192 (0x2000) in bin 6, little-endian, and nothing else.
  for (int offset = 0; offset < 256; ++offset) {
    EXPECT_EQ(bytes[256 * 3 + offset], offset == 13 ? 0x20 : 0) << offset;
  }
  // A second model, built from scratch, gives the same bytes everywhere.
  const FmVoiceModel again;
  int32_t skipped = 0, half_modulator = 0, half_modulator_kept = 0;
  for (int32_t voice = 0; voice < kVoices; ++voice) {
    const RawEntry entry = again.Entry(voice);
    int32_t odd = 0, even = 0;
    for (int bin = 0; bin < 128; ++bin) {
      const size_t at = 256 * size_t(voice) + 2 * bin;
      ASSERT_EQ(bytes[at] | bytes[at + 1] << 8, entry[bin]) << voice << " " << bin;
      (bin % 2 == 1 ? odd : even) += bin == 0 ? 0 : entry[bin];
    }
    // The preparation's rule. Whole multiples put every component on an even
    // bin; a half carrier against a whole modulator puts every one on an odd.
    const bool skip = 16 * odd > even;
    if ((voice >> 4 & 15) != 0) {
      ASSERT_EQ(skip, (voice & 15) == 0) << voice;
    }
    skipped += skip;
    if ((voice >> 4 & 15) == 0) {
      ++half_modulator;
      half_modulator_kept += !skip;
    }
  }
  EXPECT_NEAR(static_cast<double>(skipped) / kVoices, 0.09, 0.03);
  EXPECT_NEAR(static_cast<double>(half_modulator_kept) / half_modulator, 0.5, 0.1);
}

// The f0 that the samples of a frame really carry: the strongest normalised
// autocorrelation over the frame and its neighbours, taking the shortest lag
// that comes close to the best so that a double period loses.
double MeasuredPitch(const std::vector<int16_t>& samples, int frame) {
  const int begin = (frame - 1) * 735;
  auto correlation = [&](int lag) {
    double cross = 0.0, first = 0.0, second = 0.0;
    for (int n = begin; n < begin + 3 * 735; ++n) {
      cross += double(samples[n]) * samples[n + lag];
      first += double(samples[n]) * samples[n];
      second += double(samples[n + lag]) * samples[n + lag];
    }
    return cross / std::sqrt(first * second);
  };
  const int shortest = 44100 / 400, longest = 44100 / 140;
  std::vector<double> r(longest + 2, 0.0);
  for (int lag = shortest - 1; lag <= longest + 1; ++lag) r[lag] = correlation(lag);
  const double best = *std::max_element(r.begin(), r.end());
  for (int lag = shortest; lag <= longest; ++lag) {
    if (r[lag] >= 0.9 * best && r[lag] >= r[lag - 1] && r[lag] >= r[lag + 1]) {
      const double bend = r[lag - 1] - 2.0 * r[lag] + r[lag + 1];
      return 44100.0 / (lag + (bend < 0.0 ? 0.5 * (r[lag - 1] - r[lag + 1]) / bend : 0.0));
    }
  }
  return 0.0;
}

TEST(DemoVoice, WholeFramesSilentAtBothEndsReproducibleAndCarryingItsPitchTrack) {
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
    int loudest = 0;
    for (int16_t s : voice.samples) loudest = std::max(loudest, std::abs(int{s}));
    EXPECT_GE(loudest, 23000);  // -3 dBFS is 23197
    EXPECT_LE(loudest, 23198);
    const DemoVoice again = MakeDemoVoice(seconds);
    EXPECT_EQ(again.samples, voice.samples);
    EXPECT_EQ(again.fundamentals, voice.fundamentals);
  }
  // From the low hold through the glide to the high one.
  const DemoVoice voice = MakeDemoVoice(3.0);
  for (int frame : {15, 40, 70, 90, 110, 140, 165}) {
    const double stated = voice.fundamentals[frame];
    EXPECT_NEAR(MeasuredPitch(voice.samples, frame), stated, 0.02 * stated) << frame;
  }
  EXPECT_NEAR(voice.fundamentals[20], 180, 6);
  EXPECT_NEAR(voice.fundamentals[160], 300, 10);
  EXPECT_TRUE(MakeDemoVoice(0.79).samples.empty());
}

}  // namespace
