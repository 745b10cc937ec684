#pragma once

#include <cstdint>
#include <vector>

#include "pitch/analysis_span.h"

// YIN (de Cheveigné and Kawahara, 2002), written out so that every build has
// a detector: the squared difference at every lag, divided by its running
// mean so that short lags cannot win just by being short, and the first dip
// nearly as deep as the deepest rather than the deepest itself, since a wave
// that repeats after one period also repeats after two and three.
class YinEstimator {
 public:
  explicit YinEstimator(const SpanGeometry& geometry);

  int32_t SpanLength() const { return geometry_.Length(); }
  // How much shorter than the true period its answer may come out: noise
  // lifts the whole difference function, and dividing by the running mean
  // then tilts a shallow dip towards shorter lags (5% at equal tone and
  // noise).
  static constexpr double kShortBias = 0.1;

  // The fundamental in Hz of a span of SpanLength() samples, or 0 when
  // nothing in range repeats.
  double Propose(const float* span);

 private:
  SpanGeometry geometry_;
  std::vector<double> normalized_;  // by lag, 0..lag_max
};
