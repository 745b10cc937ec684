#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "analysis/simd/bound_kernel.h"
#include "analysis/voice_match.h"
#include "formats/voice_table.h"

namespace kelditra {

// Hands out and takes back the memory of the layout's largest array, tens
// of megabytes filled once and read by every search. The analysis knows no
// platform: whoever does may hand one that asks it for large pages.
struct LargeBlockAllocator {
  void* (*allocate)(size_t bytes);  // nullptr when there is no memory
  void (*release)(void* block);
};

// malloc and free.
LargeBlockAllocator PlainAllocator();

struct LargeBlockRelease {
  void (*release)(void* block);
  void operator()(uint16_t* block) const { release(block); }
};

}  // namespace kelditra

namespace kelditra::fast {

// Entries are split by the spectrum they are compared with: class 0 takes the
// harmonic spectrum (bits 4 to 7 of the voice index all 0), class 1 the
// half-harmonic one.
inline constexpr int32_t kClasses = 2;
inline constexpr int32_t kLayoutBlocks = kVoiceCount / kBlockLanes + kClasses;
inline constexpr int32_t kLayoutLanes = kLayoutBlocks * kBlockLanes;
inline constexpr int64_t kGroupStride = int64_t{kLayoutBlocks} * kBlockGroupValues;

inline int32_t ClassOf(int32_t voice) { return MatchesHarmonicSpectrum(voice) ? 0 : 1; }

// Entry sums lie below 2^24 in every layout; the index of where each class's
// sorted sums cross a multiple of 2^kSumBucketShift has one slot per multiple.
inline constexpr int32_t kSumBucketShift = 11;
inline constexpr int32_t kSumBuckets = (1 << 24) >> kSumBucketShift;

struct ClassSpan {
  int32_t first_block;
  int32_t count;  // entries; the last block's lanes past them are padding
};

// The prepared table rearranged for the fast search: per class the entries
// whose skip flag is clear, sorted by entry sum (equal sums in voice order),
// their 64 values regrouped 32 entries side by side for the bound kernels.
// Lane i is entry sorted_voices[i]; bin j of the lane in block k lies at
// bound_values[(j / 8) * kGroupStride + k * 256 + BoundValueOffset(j, i % 32)].
// Made once per prepared table and never changed, so every search over the
// table can share it.
struct FastSearchLayout {
  // kBoundGroups * kGroupStride
  std::unique_ptr<uint16_t[], LargeBlockRelease> bound_values{nullptr, {nullptr}};
  std::unique_ptr<int32_t[]> sorted_voices;  // kLayoutLanes; padding lanes INT32_MAX
  std::unique_ptr<int32_t[]> sorted_sums;    // kLayoutLanes; padding lanes INT32_MAX
  // Per class kSumBuckets + 1 slots: slot b holds how many of the class's
  // entries have a sum below b << kSumBucketShift, so that finding where the
  // sorted sums pass a value takes a look-up and a search of a few entries.
  std::unique_ptr<int32_t[]> sums_below;
  ClassSpan class_spans[kClasses] = {};

  const int32_t* SumsOf(int32_t class_index) const {
    return sorted_sums.get() + class_spans[class_index].first_block * kBlockLanes;
  }
  const int32_t* SumsBelowOf(int32_t class_index) const {
    return sums_below.get() + class_index * (kSumBuckets + 1);
  }
};

// The layout of a prepared table; nullptr when an entry sum lies outside what
// 128 16-bit values can add up to, or when the allocator has no memory, which
// leaves every frame to the plain search.
std::shared_ptr<const FastSearchLayout> PrepareFastSearch(const PreparedVoiceTable& table,
                                                          const LargeBlockAllocator& allocator);

}  // namespace kelditra::fast
