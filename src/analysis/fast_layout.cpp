#include "analysis/fast_layout.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace kelditra::fast {


namespace {

// Entry sums lie below 2^23; the sort takes them 12 bits at a time.
constexpr int32_t kSumLimit = 1 << 24;
static_assert(kSumBuckets << kSumBucketShift == kSumLimit);
constexpr int32_t kRadixBits = 12;
constexpr int32_t kRadixMask = (1 << kRadixBits) - 1;

// Stable radix sort of voices by entry sum, two passes of 12 bits: equal sums
// keep the voices' ascending order. The result ends where it started.
void SortBySum(int32_t* voices, int32_t count, const int32_t* entry_sums) {
  std::vector<int32_t> scratch(static_cast<size_t>(count));
  std::vector<int32_t> starts(1 << kRadixBits);
  int32_t* from = voices;
  int32_t* to = scratch.data();
  for (int32_t pass = 0; pass < 2; ++pass) {
    const int32_t shift = pass * kRadixBits;
    std::fill(starts.begin(), starts.end(), 0);
    for (int32_t i = 0; i < count; ++i) ++starts[(entry_sums[from[i]] >> shift) & kRadixMask];
    int32_t total = 0;
    for (int32_t& start : starts) {
      const int32_t size = start;
      start = total;
      total += size;
    }
    for (int32_t i = 0; i < count; ++i) {
      to[starts[(entry_sums[from[i]] >> shift) & kRadixMask]++] = from[i];
    }
    std::swap(from, to);
  }
}

constexpr uint16_t kPaddingEntry[kPreparedEntryValues] = {};

// One block of 32 lanes: their sums, and their values where the kernels read
// them. The two bins of a pair lie side by side in an entry as in a lane, so
// they move together, and each group of the block is written front to back.
void PlaceBlock(const PreparedVoiceTable& table, const int32_t* voices, int32_t layout_block,
                FastSearchLayout* layout) {
  const uint16_t* entries[kBlockLanes];
  for (int32_t lane = 0; lane < kBlockLanes; ++lane) {
    const int32_t voice = voices[lane];
    const bool padding = voice == INT32_MAX;
    entries[lane] = padding ? kPaddingEntry : PreparedEntry(table.entries, voice);
    layout->sorted_sums[layout_block * kBlockLanes + lane] =
        padding ? INT32_MAX : table.entry_sums[voice];
  }
  uint16_t* block_values = layout->bound_values.get() + int64_t{layout_block} * kBlockGroupValues;
  for (int32_t bin = 0; bin < kPreparedEntryValues; bin += 2) {
    uint16_t* pair_row = block_values + (bin / kGroupBins) * kGroupStride + BoundValueOffset(bin, 0);
    for (int32_t lane = 0; lane < kBlockLanes; ++lane) {
      std::memcpy(pair_row + 2 * lane, entries[lane] + bin, 2 * sizeof(uint16_t));
    }
  }
}

}  // namespace

std::shared_ptr<const FastSearchLayout> PrepareFastSearch(const PreparedVoiceTable& table,
                                                          const LargeBlockAllocator& allocator) {
  for (int32_t voice = 0; voice < kVoiceCount; ++voice) {
    if (table.entry_sums[voice] < 0 || table.entry_sums[voice] >= kSumLimit) return nullptr;
  }
  auto layout = std::make_shared<FastSearchLayout>();
  // Every value a search reads is written below; lanes past the classes'
  // blocks are never read.
  layout->bound_values = {
      static_cast<uint16_t*>(allocator.allocate(kBoundGroups * kGroupStride * sizeof(uint16_t))),
      {allocator.release}};
  if (layout->bound_values == nullptr) return nullptr;
  layout->sorted_voices = std::make_unique_for_overwrite<int32_t[]>(kLayoutLanes);
  layout->sorted_sums = std::make_unique_for_overwrite<int32_t[]>(kLayoutLanes);
  layout->sums_below = std::make_unique_for_overwrite<int32_t[]>(kClasses * (kSumBuckets + 1));
  int32_t* sorted_voices = layout->sorted_voices.get();

  int32_t next_block = 0;
  for (int32_t class_index = 0; class_index < kClasses; ++class_index) {
    int32_t* voices = sorted_voices + next_block * kBlockLanes;
    int32_t count = 0;
    for (int32_t voice = 0; voice < kVoiceCount; ++voice) {
      if (table.skip_flags[voice] == 0 && ClassOf(voice) == class_index) voices[count++] = voice;
    }
    SortBySum(voices, count, table.entry_sums);
    layout->class_spans[class_index] = {next_block, count};

    const int32_t blocks = (count + kBlockLanes - 1) / kBlockLanes;
    for (int32_t i = count; i < blocks * kBlockLanes; ++i) voices[i] = INT32_MAX;
    for (int32_t block = 0; block < blocks; ++block) {
      PlaceBlock(table, voices + block * kBlockLanes, next_block + block, layout.get());
    }
    int32_t* sums_below = layout->sums_below.get() + class_index * (kSumBuckets + 1);
    int32_t below = 0;
    for (int32_t bucket = 0; bucket <= kSumBuckets; ++bucket) {
      while (below < count && table.entry_sums[voices[below]] < bucket << kSumBucketShift) ++below;
      sums_below[bucket] = below;
    }
    next_block += blocks;
  }
  return layout;
}

}  // namespace kelditra::fast

namespace kelditra {

LargeBlockAllocator PlainAllocator() { return {std::malloc, std::free}; }

}  // namespace kelditra
