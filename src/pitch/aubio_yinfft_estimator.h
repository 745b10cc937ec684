#pragma once

#ifdef KELDITRA_HAVE_AUBIO

#include <cstdint>

#include "pitch/analysis_span.h"
#include "pitch/aubio_library.h"

// aubio's YIN-FFT: YIN's difference function taken through the spectrum and
// weighted by the ear's sensitivity. Its tapered buffer pulls periods short,
// the more the longer the period is against the buffer (for a pure tone in
// 2048 samples: 16 cents at 220 Hz, a semitone at 98 Hz, 13% at 65 Hz), so
// its answer names the dip and the time-domain comparison pins it down.
class AubioYinFftEstimator {
 public:
  explicit AubioYinFftEstimator(const SpanGeometry& geometry);
  // Whether aubio is installed where the program runs.
  static bool LibraryLoads();
  ~AubioYinFftEstimator();
  AubioYinFftEstimator(const AubioYinFftEstimator&) = delete;
  AubioYinFftEstimator& operator=(const AubioYinFftEstimator&) = delete;

  // aubio needs some 2.5 longest periods to see one clearly: a longer span
  // than the comparisons use, with them in its middle.
  int32_t SpanLength() const { return buffer_length_; }
  // How much shorter than the true period aubio's may come out, at most.
  static constexpr double kShortBias = 0.25;

  // The fundamental in Hz of a span of SpanLength() samples, or 0 when aubio
  // finds none.
  double Propose(const float* span);

 private:
  AubioLibrary aubio_;  // loaded before anything is made with it
  int32_t buffer_length_;
  aubio_pitch_t* pitch_;
  fvec_t* input_;
  fvec_t* output_;
};

#endif  // KELDITRA_HAVE_AUBIO
