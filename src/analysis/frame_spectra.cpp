#include "analysis/frame_spectra.h"

#include <cmath>

#include "formats/byte_order.h"

namespace kelditra {

namespace {

// 2π to 13 decimals, as the analysis has always used it; the full-precision
// value would move some bins by one unit.
constexpr double kTwoPi = 6.2831853071796;

int32_t SumOf(const int32_t* bins) {
  int32_t sum = 0;
  for (int32_t n = 0; n < kSpectrumBins; ++n) sum += bins[n];
  return sum;
}

}  // namespace

double HalfHarmonicStep(int32_t bin, double cycles_per_frame) {
  return ((bin * kTwoPi) / 735.0) * cycles_per_frame / 2.0;
}

double HarmonicStep(int32_t bin, double cycles_per_frame) {
  return ((bin * kTwoPi) / 735.0) * cycles_per_frame;
}

int32_t BinMagnitude(const double* frame_samples, int32_t bin, double step) {
  double re = 0.0;
  double im = 0.0;
  double angle = 0.0;
  // The angle is carried by repeated addition, not n * step: the output is
  // defined by this exact sequence of roundings.
  for (int32_t n = 0; n < kFrameLength; ++n) {
    re = re + std::cos(angle) * frame_samples[n];
    im = im + std::sin(angle) * frame_samples[n];
    angle = angle + step;
  }
  return static_cast<int32_t>(SumsMagnitude(re, im, bin));
}

double SumsMagnitude(double re, double im, int32_t bin) {
  double magnitude = std::sqrt(re * re + im * im) / 735.0;
  if (bin == 0) magnitude = magnitude / 2.0;
  return magnitude;
}

FrameSpectra ComputeFrameSpectra(const uint8_t* samples, int32_t frame, int32_t fundamental) {
  double x[kFrameLength];
  const uint8_t* first = samples + int64_t{2} * kFrameLength * frame;
  for (int32_t n = 0; n < kFrameLength; ++n) {
    x[n] = static_cast<int16_t>(ReadLittle16(first + 2 * n));
  }
  const double cycles_per_frame = fundamental / static_cast<double>(kFramesPerSecond);

  FrameSpectra spectra;
  spectra.fundamental = fundamental;
  for (int32_t bin = 0; bin < kSpectrumBins; ++bin) {
    spectra.half_harmonic[bin] = BinMagnitude(x, bin, HalfHarmonicStep(bin, cycles_per_frame));
  }
  for (int32_t bin = 0; bin < kSpectrumBins; ++bin) {
    spectra.harmonic[bin] = BinMagnitude(x, bin, HarmonicStep(bin, cycles_per_frame));
  }
  spectra.half_harmonic_sum = SumOf(spectra.half_harmonic);
  spectra.harmonic_sum = SumOf(spectra.harmonic);
  spectra.half_harmonic[0] = 0;
  spectra.harmonic[0] = 0;
  return spectra;
}

}  // namespace kelditra
