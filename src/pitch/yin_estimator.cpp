#include "pitch/yin_estimator.h"

#include <algorithm>

namespace {

// How much shallower than the deepest dip the first dip taken may be; the
// paper's absolute threshold. It chooses between periods only; whether the
// frame is voiced at all is judged afterwards, at the user's threshold. A
// larger margin would hear a sound with weak odd harmonics an octave high.
constexpr double kDipDepth = 0.1;

}  // namespace

YinEstimator::YinEstimator(const SpanGeometry& geometry)
    : geometry_(geometry), normalized_(geometry.lag_max + 1, 1.0) {}

double YinEstimator::Propose(const float* span) {
  const int32_t lag_max = geometry_.lag_max;
  double running_sum = 0;
  normalized_[0] = 1.0;
  for (int32_t lag = 1; lag <= lag_max; ++lag) {
    const float* early = span + CompareStart(geometry_, lag);
    const float* late = early + lag;
    double difference = 0;
    for (int32_t j = 0; j < geometry_.window; ++j) {
      const double step = static_cast<double>(early[j]) - late[j];
      difference += step * step;
    }
    running_sum += difference;
    normalized_[lag] = running_sum > 0 ? difference * lag / running_sum : 1.0;
  }

  // The first dip about as deep as the deepest: on a clean sound that is
  // the first under kDipDepth, on a noisy one, where every dip is shallow,
  // it still prefers the period to its multiples.
  double deepest = normalized_[geometry_.lag_min];
  for (int32_t lag = geometry_.lag_min; lag <= lag_max; ++lag) {
    deepest = std::min(deepest, normalized_[lag]);
  }
  if (deepest >= 1.0) return 0;
  int32_t best = geometry_.lag_min;
  while (normalized_[best] >= deepest + kDipDepth) ++best;
  while (best < lag_max && normalized_[best + 1] < normalized_[best]) ++best;

  double period = best;
  if (best > 1 && best < lag_max) {
    period += ParabolicOffset(normalized_[best - 1], normalized_[best], normalized_[best + 1]);
  }
  return kPitchSampleRate / period;
}
