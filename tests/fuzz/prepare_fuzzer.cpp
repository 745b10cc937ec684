// A recording in memory through the decoder, the mix, the resampler and the
// rounding, as kelditra prepare runs them on a file.
#include <cmath>
#include <cstdint>
#include <vector>

#include "fuzz_checks.h"
#include "prepare/sixteen_bits.h"
#include "prepare/sndfile_decoder.h"

namespace kelditra {

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  DecodedSound sound;
  const PrepareFailure failure = DecodeRecordingInMemory(data, size, &sound);
  if (failure.failed()) {
    Require(failure.kind != PrepareFailureKind::kNone, "a failure says which");
    return 0;
  }
  Require(static_cast<int64_t>(sound.samples.size()) <= MostPreparedSamples(),
          "a prepared sound fits one conversion");
  Require(sound.silent_channels >= 0 && sound.silent_channels <= sound.source_channels,
          "no more silent channels than channels");
  for (const float sample : sound.samples) Require(std::isfinite(sample), "every sample is a number");
  const int64_t clipped = RoundToSixteenBits(&sound.samples);
  Require(clipped >= 0 && clipped <= static_cast<int64_t>(sound.samples.size()),
          "no more clipped than there are samples");
  for (const float sample : sound.samples) {
    Require(SixteenBitValue(sample) / 32768.0f == sample, "every sample is a 16-bit value");
  }
  return 0;
}

}  // namespace kelditra
