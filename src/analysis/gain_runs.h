#pragma once

#include <cstdint>

#include "analysis/fast_layout.h"
#include "analysis/gain_ladder.h"

namespace kelditra::fast {

// At most one run starts at each step of either window bound, plus the first.
inline constexpr int32_t kMaxRuns = 2 * kGainSteps + 1;

// Consecutive sorted entries of a class that share one gain window.
struct Run {
  int32_t begin;  // entries of the class, in sorted order
  int32_t end;
  int32_t lower;  // gain indices
  int32_t upper;
};

// A class's sorted entries split into runs of one gain window against a
// target sum, in sorted order; returns the number of runs. Each run's window
// is exactly GainWindowFor of each of its entries.
int32_t BuildRuns(const FastSearchLayout& layout, int32_t class_index, int32_t target_sum,
                  const int32_t* ladder, Run runs[kMaxRuns]);

}  // namespace kelditra::fast
