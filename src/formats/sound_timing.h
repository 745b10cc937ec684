#pragma once

#include <cstdint>

namespace kelditra {

// The one sound the program reads and writes: 44100 samples a second, cut
// into 60 frames a second of 735 samples each, one record per frame.
inline constexpr int32_t kSampleRate = 44100;
inline constexpr int32_t kFramesPerSecond = 60;
inline constexpr int32_t kFrameLength = kSampleRate / kFramesPerSecond;
static_assert(kFrameLength * kFramesPerSecond == kSampleRate);

}  // namespace kelditra
