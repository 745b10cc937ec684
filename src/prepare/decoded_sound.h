#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/sound_timing.h"
#include "prepare/prepare_failure.h"

namespace kelditra {

// A recording as the conversion needs it, before rounding: one channel at
// 44100 Hz, full scale ±1.
struct DecodedSound {
  std::vector<float> samples;
  int32_t source_rate = 0;
  int32_t source_channels = 0;
  // Channels that held digital silence from start to end, left out of the
  // mix so that a recording on one side of a stereo input keeps its level.
  int32_t silent_channels = 0;
};

// The most samples a prepared sound may hold: what one conversion takes
// (262,144 frames of 735 samples, 72 min 49 s). Longer recordings are
// refused before more than that is held in memory.
int64_t MostPreparedSamples();

// Reads the recording at path with the platform's decoders, mixes its
// channels to one and brings it to 44100 Hz, streaming: the recording is
// never held whole at its own rate.
PrepareFailure DecodeRecording(const std::string& path, DecodedSound* sound);

}  // namespace kelditra
