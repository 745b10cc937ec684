#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kelditra {

// Where the fundamental is looked for, and how periodic a frame has to be to
// count as voiced. The defaults are the usual range of speaking voices.
struct PitchSettings {
  double min_hz = 75;
  double max_hz = 600;
  // How aperiodic a voiced frame may be: one less the autocorrelation at
  // its period. 0 asks for a wave that repeats exactly, 1 lets noise
  // through. Not a hard gate: a frame's neighbours and its loudness weigh
  // in too, so a voice is not cut into pieces where it roughens for a moment.
  double threshold = 0.55;
};

// Empty when the settings can be used, otherwise why not.
std::string CheckPitchSettings(const PitchSettings& settings);

// Samples (full scale ±1) at 44100 Hz to one fundamental per whole frame of
// 735 samples, in whole Hz, 0 for silent, noisy or otherwise unvoiced frames.
// The settings must have passed CheckPitchSettings. The same samples give
// the same track on every platform.
std::vector<uint16_t> TrackPitch(const std::vector<float>& samples, const PitchSettings& settings);

}  // namespace kelditra
