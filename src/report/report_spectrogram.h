#pragma once

#include <cstdint>
#include <vector>

#include "formats/sound_timing.h"

namespace kelditra {

// One column per 1/60 s frame, from a 1024-sample Hann window centred on the
// frame: the rows are the FFT bins from 0 Hz up to 8 kHz, 43 Hz apart.
inline constexpr int32_t kSpectrogramWindow = 1024;
inline constexpr int32_t kSpectrogramRows = 186;
inline constexpr double kSpectrogramRowHz = static_cast<double>(kSampleRate) / kSpectrogramWindow;

// Column-major levels in dB (frame by frame, low rows first) of 44100 Hz samples.
std::vector<float> SpectrogramDecibels(const std::vector<int16_t>& samples, int32_t frames);

// Levels as bytes for the page: 255 at top_db, 0 at kSpectrogramRange dB
// below it and under. Two spectrograms drawn with one top_db compare directly.
inline constexpr double kSpectrogramRange = 80.0;
std::vector<uint8_t> SpectrogramBytes(const std::vector<float>& decibels, double top_db);

}  // namespace kelditra
