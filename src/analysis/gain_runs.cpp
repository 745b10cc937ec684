#include "analysis/gain_runs.h"

#include <algorithm>

namespace kelditra::fast {

namespace {

// How many of the class's rising sums S give S * gain < bound, for S and gain
// from 0 up: those below the least failing sum, ceil(bound / gain), which the
// index narrows to the entries of one bucket.
int32_t CountBelow(const int32_t* sums, const int32_t* sums_below, int32_t count, int64_t gain,
                   int64_t bound) {
  if (bound <= 0) return 0;
  if (gain == 0) return count;
  const int64_t least_failing = (bound + gain - 1) / gain;
  if (least_failing >= int64_t{kSumBuckets} << kSumBucketShift) return count;
  const int32_t bucket = static_cast<int32_t>(least_failing >> kSumBucketShift);
  return static_cast<int32_t>(std::lower_bound(sums + sums_below[bucket],
                                               sums + sums_below[bucket + 1],
                                               static_cast<int32_t>(least_failing)) -
                              sums);
}

}  // namespace

// The window is decided by two families of tests of S * G[g] against the
// target sum, each turning at one point of the sorted sums and, the ladder
// rising, at points that only move down as g rises. Between two turning
// points no test changes.
int32_t BuildRuns(const FastSearchLayout& layout, int32_t class_index, int32_t target_sum,
                  const int32_t* ladder, Run runs[kMaxRuns]) {
  const int32_t count = layout.class_spans[class_index].count;
  const int32_t* sums = layout.SumsOf(class_index);
  const int32_t* sums_below = layout.SumsBelowOf(class_index);
  const int64_t target = target_sum;

  // From lower_turn[g] on, (S * G[g]) >> 11 > T; up to upper_turn[g],
  // (S * G[g]) >> 13 < T.
  int32_t lower_turn[kGainSteps - 2];  // g = 0..253
  int32_t upper_turn[kGainSteps - 3];  // g = 3..255 at [g - 3]
  // For S, G >= 0: (S * G) >> 11 > T exactly when S * G >= (T + 1) << 11, and
  // (S * G) >> 13 < T exactly when S * G < T << 13.
  const int64_t lower_bound = (target + 1) * 2048;
  const int64_t upper_bound = target * 8192;
  for (int32_t g = 0; g <= 253; ++g) {
    lower_turn[g] = CountBelow(sums, sums_below, count, ladder[g], lower_bound);
  }
  for (int32_t g = 3; g <= 255; ++g) {
    upper_turn[g - 3] = CountBelow(sums, sums_below, count, ladder[g], upper_bound);
  }

  // Both lists fall as g rises; merged backwards they give the run starts in order.
  int32_t starts[kMaxRuns + 1];
  int32_t start_count = 0;
  starts[start_count++] = 0;
  int32_t i = 253;
  int32_t k = 252;
  while (i >= 0 || k >= 0) {
    int32_t point;
    if (k < 0 || (i >= 0 && lower_turn[i] <= upper_turn[k])) {
      point = lower_turn[i--];
    } else {
      point = upper_turn[k--];
    }
    if (point > starts[start_count - 1] && point < count) starts[start_count++] = point;
  }

  for (int32_t r = 0; r < start_count; ++r) {
    const int32_t begin = starts[r];
    const int32_t end = r + 1 < start_count ? starts[r + 1] : count;
    // Entries of the run fail the lower test for g below this, pass the upper
    // test for g = 3 up to 2 + this.
    const int32_t failing_lower = static_cast<int32_t>(
        std::partition_point(lower_turn, lower_turn + 254, [&](int32_t t) { return t > begin; }) -
        lower_turn);
    const int32_t passing_upper = static_cast<int32_t>(
        std::partition_point(upper_turn, upper_turn + 253, [&](int32_t t) { return t > begin; }) -
        upper_turn);
    int32_t lower = failing_lower > 0 ? failing_lower - 1 : 0;
    int32_t upper = 2 + passing_upper;
    if (lower > upper) lower = upper = 0;
    runs[r] = {begin, end, lower, upper};
  }
  return start_count;
}

}  // namespace kelditra::fast
