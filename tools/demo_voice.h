#pragma once

#include <cstdint>
#include <vector>

namespace kelditra {

// A synthetic sung phrase with its exact pitch track, for the demo and the
// end-to-end tests: a band-limited glottal pulse train through three vowel
// formants that move from "a" through "o" to "i", with vibrato, a glide from
// 180 Hz up to 300 Hz in the middle of the phrase, a soft onset and release,
// and silence at both ends. Peaks at -3 dBFS.

inline constexpr int kDemoSampleRate = 44100;
inline constexpr int kDemoFrameSamples = 735;
inline constexpr int kDemoSilentFrames = 9;  // at each end

struct DemoVoice {
  std::vector<int16_t> samples;        // a whole number of frames
  std::vector<uint16_t> fundamentals;  // per frame: the mean instantaneous f0
                                       // over its samples in whole Hz, 0 if silent
};

// The length is rounded to whole frames of 1/60 s. A phrase needs at least
// kDemoShortestSeconds; shorter (or absurdly long) requests give an empty voice.
inline constexpr double kDemoShortestSeconds = 0.8;
inline constexpr double kDemoLongestSeconds = 600.0;
DemoVoice MakeDemoVoice(double seconds);

}  // namespace kelditra
