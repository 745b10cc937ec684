#pragma once

#include <cstdint>

#include "formats/sound_timing.h"

namespace kelditra {

inline constexpr int32_t kSpectrumBins = 128;

// The two harmonic spectra of one frame. Bin 0 of each is cleared after the
// sums are formed, so the sums still hold half the frame's mean level.
struct FrameSpectra {
  int32_t fundamental;                    // Hz, from the pitch track
  int32_t half_harmonic[kSpectrumBins];   // bin n at n * f0 / 2 Hz
  int32_t half_harmonic_sum;
  int32_t harmonic[kSpectrumBins];        // bin n at n * f0 Hz
  int32_t harmonic_sum;
};

// Analyses samples 735 * frame .. 735 * frame + 734 (little-endian signed
// 16-bit) at the given fundamental.
FrameSpectra ComputeFrameSpectra(const uint8_t* samples, int32_t frame, int32_t fundamental);

// The angle steps, in radians per sample, exactly as the spectra use them.
double HalfHarmonicStep(int32_t bin, double cycles_per_frame);
double HarmonicStep(int32_t bin, double cycles_per_frame);

// One single-frequency Fourier sum over a frame, as a truncated magnitude;
// bin 0 is halved.
int32_t BinMagnitude(const double* frame_samples, int32_t bin, double step);

// The magnitude BinMagnitude truncates, from its two sums.
double SumsMagnitude(double re, double im, int32_t bin);

}  // namespace kelditra
