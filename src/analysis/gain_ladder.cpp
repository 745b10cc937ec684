#include "analysis/gain_ladder.h"

#include <cmath>

namespace kelditra {

void BuildGainLadder(int32_t ladder[kGainSteps]) {
  ladder[0] = 0;
  for (int32_t i = 1; i < kGainSteps; ++i) {
    ladder[i] = static_cast<int32_t>(std::pow(1.0357, i) + i - 0.5);
  }
}

GainWindow GainWindowFor(int32_t entry_sum, int32_t target_sum, const int32_t ladder[kGainSteps]) {
  const int64_t sum = entry_sum;
  const int64_t target = target_sum;

  int32_t lower = 254;
  for (int32_t g = 0; g <= 253; ++g) {
    if ((sum * ladder[g]) >> 11 > target) {
      lower = g;
      break;
    }
  }
  int32_t upper = 2;
  for (int32_t g = 255; g >= 3; --g) {
    if ((sum * ladder[g]) >> 13 < target) {
      upper = g;
      break;
    }
  }
  if (lower > 0) --lower;
  if (lower > upper) return {0, 0};
  return {lower, upper};
}

}  // namespace kelditra
