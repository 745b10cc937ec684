#include "pitch/analysis_span.h"

#include <algorithm>
#include <cmath>

#include "analysis/frame_spectra.h"

SpanGeometry SpanGeometryFor(double min_hz, double max_hz) {
  SpanGeometry geometry;
  geometry.lag_min = std::max(2, static_cast<int32_t>(std::floor(kPitchSampleRate / max_hz)));
  geometry.lag_max = static_cast<int32_t>(std::ceil(kPitchSampleRate / min_hz));
  // At least a whole frame, so the value stands for all of it; at least one
  // longest period, so a low voice is compared over a full cycle.
  geometry.window = std::max(kFrameLength, geometry.lag_max);
  return geometry;
}

void CopySpan(const std::vector<float>& samples, int32_t frame, int32_t length, float* span) {
  const int64_t centre = int64_t{kFrameLength} * frame + kFrameLength / 2;
  const int64_t start = centre - length / 2;
  const int64_t count = static_cast<int64_t>(samples.size());
  for (int32_t i = 0; i < length; ++i) {
    const int64_t at = start + i;
    span[i] = at >= 0 && at < count ? samples[static_cast<size_t>(at)] : 0.0f;
  }
}

double Aperiodicity(const float* span, const SpanGeometry& geometry, int32_t lag) {
  const float* early = span + CompareStart(geometry, lag);
  const float* late = early + lag;
  double difference = 0;
  double energy = 0;
  for (int32_t j = 0; j < geometry.window; ++j) {
    const double a = early[j];
    const double b = late[j];
    difference += (a - b) * (a - b);
    energy += a * a + b * b;
  }
  return energy > 0 ? difference / energy : 1.0;
}

double ParabolicOffset(double left, double centre, double right) {
  const double curvature = left - 2 * centre + right;
  if (curvature <= 0) return 0;
  return std::clamp(0.5 * (left - right) / curvature, -1.0, 1.0);
}
