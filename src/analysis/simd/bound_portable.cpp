// The bound kernel in plain C++, lane by lane, with the same 16-bit
// saturating steps as the vector kernels, so every kernel keeps the same lanes.

#include "analysis/simd/bound_kernel.h"

namespace kelditra::fast {

namespace {

uint16_t MulHigh(uint16_t a, uint16_t b) { return static_cast<uint16_t>((uint32_t{a} * b) >> 16); }

uint16_t AddSaturated(uint16_t a, uint16_t b) {
  const uint32_t sum = uint32_t{a} + b;
  return static_cast<uint16_t>(sum > 0xFFFF ? 0xFFFF : sum);
}

uint16_t SubtractSaturated(uint16_t a, uint16_t b) {
  return a > b ? static_cast<uint16_t>(a - b) : 0;
}

}  // namespace

uint32_t BoundBlockPortable(const BoundBlockArgs& args) {
  int32_t lane_limit[kBlockLanes];
  int32_t sum[kBlockLanes] = {};
  for (int32_t lane = 0; lane < kBlockLanes; ++lane) {
    lane_limit[lane] = args.limit - (args.ties_exact && args.voices[lane] > args.tie_voice ? 1 : 0);
  }
  uint32_t alive = args.lanes;
  for (int32_t group = 0; group < kBoundGroups; ++group) {
    const uint16_t* values = args.values + group * args.group_stride;
    for (int32_t b = 0; b < kGroupBins; ++b) {
      const int32_t bin = group * kGroupBins + b;
      const int32_t half = 16 * (bin % 2);
      const uint16_t target = static_cast<uint16_t>(args.target_pairs[bin / 2] >> half);
      const uint16_t target_plus7 = static_cast<uint16_t>(args.target_plus7_pairs[bin / 2] >> half);
      for (int32_t lane = 0; lane < kBlockLanes; ++lane) {
        const uint16_t p = values[BoundValueOffset(bin, lane)];
        const uint16_t low = AddSaturated(MulHigh(p, args.low_multiplier), p & args.low_mask);
        const uint16_t high = AddSaturated(MulHigh(p, args.high_multiplier), p & args.high_mask);
        const uint16_t distance =
            SubtractSaturated(target_plus7, high) | SubtractSaturated(low, target);
        uint16_t a = static_cast<uint16_t>(distance >> args.shift);
        if (a > args.cap) a = args.cap;
        sum[lane] += int32_t{a} * a * a;
      }
      if (b % 2 == 0) continue;
      for (int32_t lane = 0; lane < kBlockLanes; ++lane) {
        if (sum[lane] > lane_limit[lane]) alive &= ~(uint32_t{1} << lane);
      }
      if (alive == 0) return 0;
    }
    for (int32_t lane = 0; lane < kBlockLanes; ++lane) {
      if (sum[lane] > args.limit) sum[lane] = args.limit + 1;
    }
  }
  return alive;
}

}  // namespace kelditra::fast
