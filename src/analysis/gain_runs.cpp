#include "analysis/gain_runs.h"

#include <algorithm>

// The window is decided by two families of tests of S * G[g] against the
// target sum, each turning at one point of the sorted sums and, the ladder
// rising, at points that only move down as g rises. Between two turning
// points no test changes.
int32_t BuildRuns(const FastSearchLayout& layout, int32_t class_index, int32_t target_sum,
                  const int32_t* ladder, Run runs[kMaxRuns]) {
  const int32_t count = layout.class_spans[class_index].count;
  const int32_t* sums = layout.SumsOf(class_index);
  const int64_t target = target_sum;

  // From lower_turn[g] on, (S * G[g]) >> 11 > T; up to upper_turn[g],
  // (S * G[g]) >> 13 < T.
  int32_t lower_turn[kGainSteps - 2];  // g = 0..253
  int32_t upper_turn[kGainSteps - 3];  // g = 3..255 at [g - 3]
  for (int32_t g = 0; g <= 253; ++g) {
    const int64_t gain = ladder[g];
    lower_turn[g] = static_cast<int32_t>(
        std::partition_point(sums, sums + count,
                             [&](int32_t s) { return !(((s * gain) >> 11) > target); }) -
        sums);
  }
  for (int32_t g = 3; g <= 255; ++g) {
    const int64_t gain = ladder[g];
    upper_turn[g - 3] = static_cast<int32_t>(
        std::partition_point(sums, sums + count,
                             [&](int32_t s) { return ((s * gain) >> 13) < target; }) -
        sums);
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
