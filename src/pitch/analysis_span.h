#pragma once

#include <cstdint>
#include <vector>

inline constexpr int32_t kPitchSampleRate = 44100;

// The stretch of samples around one frame's centre that a period estimate
// looks at: long enough to compare `window` samples with the same number one
// longest period later.
struct SpanGeometry {
  int32_t lag_min = 0;  // shortest period searched, in samples
  int32_t lag_max = 0;  // longest period searched, in samples
  int32_t window = 0;   // samples compared at each lag
  int32_t Length() const { return window + lag_max; }
};

SpanGeometry SpanGeometryFor(double min_hz, double max_hz);

// Fills span with `length` samples centred on the centre of frame `frame`;
// zeros where it reaches outside the recording. A span of geometry.Length()
// sits at offset length / 2 - geometry.Length() / 2 inside a longer one.
void CopySpan(const std::vector<float>& samples, int32_t frame, int32_t length, float* span);

// Where a comparison at `lag` starts, so that every lag looks at the same
// middle of the span rather than drifting towards its start as lags shrink.
inline int32_t CompareStart(const SpanGeometry& geometry, int32_t lag) {
  return (geometry.lag_max - lag) / 2;
}

// The energy of the difference between the window and itself `lag` samples
// later, over the energy of both: 0 for a wave that repeats after lag, about
// 1 for noise, 1 for silence. 1 <= lag <= lag_max.
double Aperiodicity(const float* span, const SpanGeometry& geometry, int32_t lag);

// The offset (-1..1) of the vertex of the parabola through three neighbouring
// values, the centre one being the smallest.
double ParabolicOffset(double left, double centre, double right);
