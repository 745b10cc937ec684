#pragma once

#include <cstdint>

namespace kelditra::fast {

// The frame spectra's Fourier sums for several bins side by side, one bin per
// vector lane, with a sine and cosine of our own (fourier_lanes.h) in place
// of libm's. The angles and the order of every multiply and add are those of
// BinMagnitude, so the sums differ from its sums only through the sines and
// cosines; fast_spectra.cpp turns that into a bound on the magnitudes.

// For |angle| below kSinCosLargestAngle, each sine and cosine the kernel
// forms lies within kSinCosDerivedError of the true sine and cosine of the
// double angle: the bound fourier_lanes.h derives from its reduction and its
// polynomials. The certificate assumes kSinCosError, four times that, so
// that it holds with room to spare. Angle 0 gives exactly sine 0 and cosine
// 1. The spectra's angles stay below 870,391 (harmonic bin 127 at 65535 Hz,
// sample 734), so every bin a pitch track can ask for fits.
inline constexpr double kSinCosLargestAngle = 0x1p20;
inline constexpr double kSinCosDerivedError = 0x1p-51;
inline constexpr double kSinCosError = 4 * kSinCosDerivedError;

inline constexpr int32_t kSse2FourierLanes = 2;
inline constexpr int32_t kAvx2FourierLanes = 4;
inline constexpr int32_t kAvx512FourierLanes = 8;
inline constexpr int32_t kMostFourierLanes = kAvx512FourierLanes;

// Per lane i, over the 735 samples x[n]: re[i] = Σ cos(θ_n) x[n] and
// im[i] = Σ sin(θ_n) x[n], the angle θ carried from 0.0 by adding steps[i]
// once per sample. Every angle must stay below kSinCosLargestAngle.
void FourierSumsSse2(const double* x, const double* steps, double* re, double* im);
void FourierSumsAvx2(const double* x, const double* steps, double* re, double* im);
void FourierSumsAvx512(const double* x, const double* steps, double* re, double* im);

}  // namespace kelditra::fast
