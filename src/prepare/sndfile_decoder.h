#pragma once

#include <cstddef>
#include <cstdint>

#include "prepare/decoded_sound.h"

namespace kelditra {

// DecodeRecording for a recording already in memory, by the same decoder and
// resampler: what the fuzzer feeds.
PrepareFailure DecodeRecordingInMemory(const uint8_t* bytes, size_t size, DecodedSound* sound);

}  // namespace kelditra
