#pragma once

#include <cstdint>

namespace kelditra::fast {

// The search's first filter: a lower bound on an entry's matching error over a
// whole window of gains, for 32 entries side by side.
//
// Per compared bin the scaled value (P * G) >> 12 never falls as the gain
// rises, so over a window it stays between its values at the window's two
// ends; the bin then costs at least the cube of the shifted distance from the
// target to that span (nothing when the target lies within it). The kernels
// work on 16-bit lanes:
//   scaled(P, G) = mulhi(P, (G mod 4096) * 16) + (G >= 4096 ? P : 0),
// added with saturation at 65535, which can only lower a value above the
// target and so only lower the bound; the shifted distance comes from the two
// one-sided saturating differences. Each shifted distance a is then divided
// by 2^extra_shift and capped at cap, a value whose cube already exceeds the
// limit, so that a * a fits a signed 16-bit lane and one multiply-add gives
// a^3 + b^3 for the two bins of a pair in 32 bits.
//
// Every kernel returns exactly the same lanes for the same arguments.
//
// Each vector kernel's file is built for its own instruction set. It calls no
// inline function that other files use too: the linker keeps one copy of
// such a function, which could then hold instructions other processors lack.

inline constexpr int32_t kBlockLanes = 32;
inline constexpr int32_t kGroupBins = 8;
inline constexpr int32_t kBoundGroups = 8;
inline constexpr int32_t kBlockGroupValues = kGroupBins * kBlockLanes;  // one group of one block

// The largest cap the kernels take: its square must stay a signed 16-bit value.
inline constexpr int32_t kLargestCap = 181;

// Where bin `bin` (0..63) of lane `lane` lies in a block, counted from the
// start of the bin's group: the two bins of a pair side by side per lane.
inline constexpr int32_t BoundValueOffset(int32_t bin, int32_t lane) {
  return (bin % kGroupBins / 2) * 2 * kBlockLanes + 2 * lane + bin % 2;
}

struct BoundBlockArgs {
  // Group g (bins 8g..8g+7) of the block starts at values + g * group_stride,
  // laid out as BoundValueOffset says.
  const uint16_t* values;
  int64_t group_stride;
  const int32_t* voices;  // the 32 lanes' voice indices

  uint16_t low_multiplier;  // the window's lowest gain, split as above
  uint16_t low_mask;        // 0xFFFF when that gain reaches 4096, else 0
  uint16_t high_multiplier;
  uint16_t high_mask;

  // Per pair p (bins 2p and 2p + 1), the frame's two compared values, the
  // first in the low half: the target itself and the target plus 7.
  const uint32_t* target_pairs;
  const uint32_t* target_plus7_pairs;

  int32_t shift;  // 3 + extra_shift
  uint16_t cap;   // at most kLargestCap
  // A lane stays while its bound <= limit; when ties_exact, a lane whose
  // voice lies after tie_voice stays only while its bound < limit.
  int32_t limit;
  bool ties_exact;
  int32_t tie_voice;

  uint32_t lanes;  // the lanes to look at
};

// The lanes among args.lanes whose bound over all 64 bins stays within the
// limit. It looks after every pair of bins and stops as soon as no lane is
// left: most blocks lose their last lane within the first eight bins, many
// within the first four. Sums are held down to limit + 1 once per group,
// which keeps them in 32 bits and loses no lane's verdict.
uint32_t BoundBlockPortable(const BoundBlockArgs& args);
uint32_t BoundBlockSse2(const BoundBlockArgs& args);
uint32_t BoundBlockAvx2(const BoundBlockArgs& args);
uint32_t BoundBlockAvx512(const BoundBlockArgs& args);

}  // namespace kelditra::fast
