#pragma once

#include <cstdint>

namespace kelditra {

inline constexpr int32_t kGainSteps = 256;

// Gains in units of 1/4096 (4096 would be unity), rising strictly from 0 to 7922.
void BuildGainLadder(int32_t ladder[kGainSteps]);

struct GainWindow {
  int32_t lower;
  int32_t upper;
};

// The gain indices worth trying for an entry of sum entry_sum against a
// target spectrum of sum target_sum: from one step below where the scaled
// entry sum first exceeds half the target, to where it last stays below
// twice the target.
GainWindow GainWindowFor(int32_t entry_sum, int32_t target_sum, const int32_t ladder[kGainSteps]);

}  // namespace kelditra
