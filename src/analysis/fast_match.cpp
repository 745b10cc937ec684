#include "analysis/fast_match.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>
#include <vector>

#include "analysis/fast_spectra.h"
#include "analysis/simd/bound_kernel.h"
#include "formats/voice_table.h"

namespace {

// Entries are split by the spectrum they are compared with: class 0 takes the
// harmonic spectrum (bits 4 to 7 of the voice index all 0), class 1 the
// half-harmonic one.
constexpr int32_t kClasses = 2;
constexpr int32_t kLayoutBlocks = kVoiceCount / kBlockLanes + kClasses;
constexpr int32_t kLayoutLanes = kLayoutBlocks * kBlockLanes;
constexpr int64_t kGroupStride = int64_t{kLayoutBlocks} * kBlockGroupValues;

// Blocks per unit of work that a member of the crew claims at a time.
constexpr int32_t kChunkBlocks = 32;
constexpr int32_t kMaxChunks = kLayoutBlocks / kChunkBlocks + kClasses;

// At most one run starts at each step of either window bound, plus the first.
constexpr int32_t kMaxRuns = 2 * kGainSteps + 1;

// Limits the kernels are given stay below this, so that the cap, whose cube
// just passes the limit, stays within kLargestCap.
constexpr int64_t kKernelLimitCeiling = int64_t{1} << 22;
static_assert(162 * 162 * 162 > kKernelLimitCeiling && 162 <= kLargestCap);

// The highest frame bin the 16-bit kernels take: it and 7 more must fit.
constexpr int32_t kHighestKernelTarget = 65535 - 7;

// Entry sums lie below 2^23; the sort takes them 12 bits at a time.
constexpr int32_t kSumLimit = 1 << 24;
constexpr int32_t kRadixBits = 12;
constexpr int32_t kRadixMask = (1 << kRadixBits) - 1;

struct ClassSpan {
  int32_t first_block;
  int32_t count;  // entries; the last block's lanes past them are padding
};

// The layout PrepareFastSearch builds. Lane i of the layout is entry
// gSortedVoices[i]; bin j of the lane in block k lies at
// gBoundValues[(j / 8) * kGroupStride + k * 256 + BoundValueOffset(j, i % 32)].
uint16_t gBoundValues[kBoundGroups * kGroupStride];
int32_t gSortedVoices[kLayoutLanes];
int32_t gSortedSums[kLayoutLanes];
int32_t gSortScratch[kVoiceCount];
ClassSpan gClassSpans[kClasses];
const uint8_t* gLayoutEntries = nullptr;  // the prepared table the layout was made from

int32_t ClassOf(int32_t voice) { return MatchesHarmonicSpectrum(voice) ? 0 : 1; }

// Gains [first, last] of the ladder: a lower bound on an entry's error over
// them, the exact error when first == last. It stops adding once the sum
// passes limit.
int64_t RangeError(const uint16_t* entry, int32_t first_gain, int32_t last_gain,
                   const int32_t* target, int64_t limit) {
  int64_t sum = 0;
  for (int32_t j = 0; j < kPreparedEntryValues; ++j) {
    const int32_t x = target[2 * j];
    const int32_t low = (entry[j] * first_gain) >> 12;
    const int32_t high = (entry[j] * last_gain) >> 12;
    int32_t a = 0;
    if (high < x) {
      a = (x - high + 7) >> 3;  // |(high - x) >> 3|, the shift rounding down
    } else if (low > x) {
      a = (low - x) >> 3;
    }
    sum += int64_t{a * a} * a;
    if (sum > limit) break;
  }
  return sum;
}

// Whether a candidate of this error, voice and gain index would replace
// best: the plain search's order, where a later equal candidate never does.
bool Precedes(int64_t error, int32_t voice, int32_t gain_index, const BestMatch& best) {
  if (error != best.error) return error < best.error;
  if (voice != best.voice) return voice < best.voice;
  return gain_index < best.gain_index;
}

// Gains first..last of one entry, halving the window while a half's bound can
// still beat best, down to single gains. A candidate above ceiling, the best
// error another member of the crew has found, cannot win either.
void SearchGains(const uint16_t* entry, int32_t voice, int32_t frequency, int32_t first,
                 int32_t last, const int32_t* target, const int32_t* ladder, int64_t ceiling,
                 BestMatch* best, int64_t* ranges_scored) {
  struct Span {
    int32_t first;
    int32_t last;
    int64_t bound;  // stays valid: the limit it was summed against only falls
  };
  auto score = [&](int32_t low, int32_t high) {
    ++*ranges_scored;
    return Span{
        low, high,
        RangeError(entry, ladder[low], ladder[high], target, std::min(best->error, ceiling))};
  };
  Span pending[2 * 9 + 2];
  int32_t depth = 0;
  pending[depth++] = score(first, last);
  while (depth > 0) {
    const Span span = pending[--depth];
    if (span.bound > ceiling || !Precedes(span.bound, voice, span.first, *best)) continue;
    if (span.first == span.last) {
      *best = {span.bound, voice, span.first, frequency};
      continue;
    }
    const int32_t middle = (span.first + span.last) / 2;
    const Span lower = score(span.first, middle);
    const Span upper = score(middle + 1, span.last);
    // The half with the lower bound goes first: it is the likelier winner,
    // and a win there may rule out the other.
    if (lower.bound <= upper.bound) {
      pending[depth++] = upper;
      pending[depth++] = lower;
    } else {
      pending[depth++] = lower;
      pending[depth++] = upper;
    }
  }
}

// No gain of the entry reaches the ceiling.
constexpr int32_t kNoGain = INT32_MAX;

// The least error of one entry over gains first..last, at the lowest gain
// that gives it, when it is at most ceiling; gain_index kNoGain otherwise.
// Searched as a candidate of error ceiling that comes after every gain of the
// entry, so that SearchGains keeps whatever reaches it.
BestMatch LeastEntryError(const uint16_t* entry, int32_t voice, int32_t frequency, int32_t first,
                          int32_t last, const int32_t* target, const int32_t* ladder,
                          int64_t ceiling, int64_t* ranges_scored) {
  BestMatch least{ceiling, voice, kNoGain, frequency};
  SearchGains(entry, voice, frequency, first, last, target, ladder, ceiling, &least,
              ranges_scored);
  return least;
}

// Takes an entry's least error into the winner and the least error of the
// other entries. The warm start's entries come round again in the scan: the
// winner's must not then count as a second entry. Any other entry seen twice
// brings the same error, which moves neither.
void Rank(const BestMatch& least, BestMatch* best, int64_t* runner_up) {
  if (least.gain_index == kNoGain) return;
  if (least.voice == best->voice && best->error != INT64_MAX) return;
  if (Precedes(least.error, least.voice, least.gain_index, *best)) {
    *runner_up = best->error;
    *best = least;
  } else if (least.error < *runner_up) {
    *runner_up = least.error;
  }
}

// A ladder the kernels take: rising (the windows depend on it) and below
// 8192 (the 16-bit gain split).
bool KernelLadder(const int32_t* ladder) {
  if (ladder[0] < 0 || ladder[kGainSteps - 1] > 8191) return false;
  for (int32_t g = 1; g < kGainSteps; ++g) {
    if (ladder[g] < ladder[g - 1]) return false;
  }
  return true;
}

bool KernelTargets(const FrameSpectra& spectra) {
  for (int32_t j = 0; j < kPreparedEntryValues; ++j) {
    for (int32_t x : {spectra.harmonic[2 * j], spectra.half_harmonic[2 * j]}) {
      if (x < 0 || x > kHighestKernelTarget) return false;
    }
  }
  return true;
}

using BoundKernel = uint32_t (*)(const BoundBlockArgs&);

BoundKernel KernelFor(SimdLevel level) {
  switch (level) {
#if defined(KELDITRA_HAVE_X86_KERNELS)
    case SimdLevel::kSse2:
      return BoundBlockSse2;
    case SimdLevel::kAvx2:
      return BoundBlockAvx2;
    case SimdLevel::kAvx512:
      return BoundBlockAvx512;
#endif
    default:
      return BoundBlockPortable;
  }
}

// Consecutive sorted entries that share one gain window.
struct Run {
  int32_t begin;  // entries of the class, in sorted order
  int32_t end;
  int32_t lower;  // gain indices
  int32_t upper;
};

// The frame as one class of entries sees it.
struct ClassFrame {
  const int32_t* target;
  int32_t target_sum;
  int32_t frequency;
  uint32_t target_pairs[kPreparedEntryValues / 2];
  uint32_t target_plus7_pairs[kPreparedEntryValues / 2];
  Run runs[kMaxRuns];
  int32_t run_count;
};

// Splits a class's sorted entries into runs of one window. The window is
// decided by two families of tests of S * G[g] against the target sum, each
// turning at one point of the sorted sums and, the ladder rising, at points
// that only move down as g rises. Between two turning points no test changes.
void BuildRuns(int32_t class_index, int32_t target_sum, const int32_t* ladder, ClassFrame* frame) {
  const ClassSpan span = gClassSpans[class_index];
  const int32_t* sums = gSortedSums + span.first_block * kBlockLanes;
  const int64_t target = target_sum;

  // From lower_turn[g] on, (S * G[g]) >> 11 > T; up to upper_turn[g],
  // (S * G[g]) >> 13 < T.
  int32_t lower_turn[kGainSteps - 2];  // g = 0..253
  int32_t upper_turn[kGainSteps - 3];  // g = 3..255 at [g - 3]
  for (int32_t g = 0; g <= 253; ++g) {
    const int64_t gain = ladder[g];
    lower_turn[g] = static_cast<int32_t>(
        std::partition_point(sums, sums + span.count,
                             [&](int32_t s) { return !(((s * gain) >> 11) > target); }) -
        sums);
  }
  for (int32_t g = 3; g <= 255; ++g) {
    const int64_t gain = ladder[g];
    upper_turn[g - 3] = static_cast<int32_t>(
        std::partition_point(sums, sums + span.count,
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
    if (point > starts[start_count - 1] && point < span.count) starts[start_count++] = point;
  }

  frame->run_count = 0;
  for (int32_t r = 0; r < start_count; ++r) {
    const int32_t begin = starts[r];
    const int32_t end = r + 1 < start_count ? starts[r + 1] : span.count;
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
    frame->runs[frame->run_count++] = {begin, end, lower, upper};
  }
}

// The kernel's limit for a best so far. Errors from 2^22 up are compared at a
// coarser scale: distances shifted right by `extra` more bits give cubes
// 2^(3 * extra) smaller, never more than the true ones, against a limit
// shifted the same way.
struct KernelLimit {
  int32_t shift;
  uint16_t cap;
  int32_t limit;
  bool ties_exact;
};

KernelLimit KernelLimitFor(int64_t error) {
  int32_t extra = 0;
  while ((error >> (3 * extra)) >= kKernelLimitCeiling) ++extra;
  const int32_t limit = static_cast<int32_t>(error >> (3 * extra));
  // The least distance whose cube alone passes the limit; capping there
  // loses nothing.
  int32_t cap = static_cast<int32_t>(std::cbrt(static_cast<double>(limit)));
  while (int64_t{cap} * cap * cap <= limit) ++cap;
  while (cap > 1 && int64_t{cap - 1} * (cap - 1) * (cap - 1) > limit) --cap;
  return {3 + extra, static_cast<uint16_t>(cap), limit, extra == 0};
}

struct Chunk {
  int32_t class_index;
  int32_t first_block;  // blocks of the class
  int32_t end_block;
};

// What one member of the crew keeps while it searches a frame.
struct Member {
  BestMatch best;
  int64_t runner_up;  // ranked search only: the least error of another entry
  KernelLimit limit;
  int64_t limit_error;    // the error limit was made for
  int64_t limit_ceiling;  // and the crew's best error then
  int64_t kernel_calls;
  int64_t entries_scored;
  int64_t ranges_scored;
};

// Everything the crew shares while it searches one frame.
struct FrameWork {
  const uint8_t* entries;
  const int32_t* ladder;
  BoundKernel kernel;
  ClassFrame classes[kClasses];
  Chunk chunks[kMaxChunks];
  int32_t chunk_count;
  std::atomic<int32_t> next_chunk;
  // The least error any member has found (the ranked search: the least
  // runner-up): a bound above it rules an entry out for everyone. Ties are
  // still judged by each member's own best.
  std::atomic<int64_t> crew_error;
  std::vector<Member> members;
};

void PublishError(FrameWork& work, int64_t error) {
  int64_t known = work.crew_error.load(std::memory_order_relaxed);
  while (error < known &&
         !work.crew_error.compare_exchange_weak(known, error, std::memory_order_relaxed)) {
  }
}

// The kernel's limit for the member's own error (its best, or in the ranked
// search its runner-up) and the crew's.
void UpdateLimit(int64_t ceiling, int64_t own, Member* member) {
  if (own == member->limit_error && ceiling == member->limit_ceiling) return;
  member->limit_error = own;
  member->limit_ceiling = ceiling;
  if (ceiling < own) {
    // Another member's error is lower: anything up to it may still tie
    // there, so the limit keeps equal bounds.
    member->limit = KernelLimitFor(ceiling);
    member->limit.ties_exact = false;
  } else {
    member->limit = KernelLimitFor(own);
  }
}

// The ranked search throws an entry out when its bound passes the
// runner-up: it could then neither win nor come second. A bound equal to the
// runner-up still matters only for an entry that could take the win on a tie,
// which needs the best error to equal the runner-up and a voice before the
// best's.
template <bool kRanked>
void SearchChunk(FrameWork& work, const Chunk& chunk, Member* member) {
  const ClassFrame& frame = work.classes[chunk.class_index];
  const ClassSpan span = gClassSpans[chunk.class_index];
  const int32_t* ladder = work.ladder;
  BestMatch& best = member->best;

  // The run holding the chunk's first entry.
  int32_t r = static_cast<int32_t>(
                  std::upper_bound(frame.runs, frame.runs + frame.run_count,
                                   chunk.first_block * kBlockLanes,
                                   [](int32_t lane, const Run& run) { return lane < run.begin; }) -
                  frame.runs) -
              1;

  BoundBlockArgs args;
  args.group_stride = kGroupStride;
  args.target_pairs = frame.target_pairs;
  args.target_plus7_pairs = frame.target_plus7_pairs;
  for (int32_t block = chunk.first_block; block < chunk.end_block; ++block) {
    const int32_t block_begin = block * kBlockLanes;
    const int32_t block_end = std::min(block_begin + kBlockLanes, span.count);
    const int32_t layout_block = span.first_block + block;
    args.values = gBoundValues + int64_t{layout_block} * kBlockGroupValues;
    args.voices = gSortedVoices + layout_block * kBlockLanes;
    for (;;) {
      const Run& run = frame.runs[r];
      const int32_t first_lane = std::max(block_begin, run.begin) - block_begin;
      const int32_t end_lane = std::min(block_end, run.end) - block_begin;
      const uint32_t below_end = end_lane == 32 ? ~uint32_t{0} : (uint32_t{1} << end_lane) - 1;
      args.lanes = below_end & ~((uint32_t{1} << first_lane) - 1);

      const int64_t ceiling = work.crew_error.load(std::memory_order_relaxed);
      UpdateLimit(ceiling, kRanked ? member->runner_up : best.error, member);
      const int32_t low_gain = ladder[run.lower];
      const int32_t high_gain = ladder[run.upper];
      args.low_multiplier = static_cast<uint16_t>((low_gain & 4095) << 4);
      args.low_mask = low_gain >= 4096 ? 0xFFFF : 0;
      args.high_multiplier = static_cast<uint16_t>((high_gain & 4095) << 4);
      args.high_mask = high_gain >= 4096 ? 0xFFFF : 0;
      args.shift = member->limit.shift;
      args.cap = member->limit.cap;
      args.limit = member->limit.limit;
      args.ties_exact = member->limit.ties_exact;
      args.tie_voice = kRanked && best.error != member->runner_up ? -1 : best.voice;

      uint32_t survivors = work.kernel(args);
      ++member->kernel_calls;
      while (survivors != 0) {
        const int32_t lane = __builtin_ctz(survivors);
        survivors &= survivors - 1;
        const int32_t voice = args.voices[lane];
        ++member->entries_scored;
        if constexpr (kRanked) {
          const int64_t runner_up_before = member->runner_up;
          const int64_t entry_ceiling = std::min(
              member->runner_up, work.crew_error.load(std::memory_order_relaxed));
          Rank(LeastEntryError(PreparedEntry(work.entries, voice), voice, frame.frequency,
                               run.lower, run.upper, frame.target, ladder, entry_ceiling,
                               &member->ranges_scored),
               &best, &member->runner_up);
          if (member->runner_up < runner_up_before) PublishError(work, member->runner_up);
        } else {
          const int64_t error_before = best.error;
          SearchGains(PreparedEntry(work.entries, voice), voice, frame.frequency, run.lower,
                      run.upper, frame.target, ladder,
                      work.crew_error.load(std::memory_order_relaxed), &best,
                      &member->ranges_scored);
          if (best.error < error_before) PublishError(work, best.error);
        }
      }

      if (run.end > block_end) break;  // the run goes on in the next block
      ++r;
      if (run.end == block_end) break;
    }
  }
}

}  // namespace

struct FastSearchWork : FrameWork {};

void PrepareFastSearch(const PreparedVoiceTable& table) {
  gLayoutEntries = nullptr;
  for (int32_t voice = 0; voice < kVoiceCount; ++voice) {
    // Sums of 128 16-bit values; anything else leaves the frames to the
    // plain search.
    if (table.entry_sums[voice] < 0 || table.entry_sums[voice] >= kSumLimit) return;
  }
  int32_t next_block = 0;
  for (int32_t class_index = 0; class_index < kClasses; ++class_index) {
    // Voices in ascending order, then a stable radix sort by sum: equal sums
    // keep the voice order.
    int32_t* from = gSortedVoices + next_block * kBlockLanes;
    int32_t* to = gSortScratch;
    int32_t count = 0;
    for (int32_t voice = 0; voice < kVoiceCount; ++voice) {
      if (table.skip_flags[voice] == 0 && ClassOf(voice) == class_index) from[count++] = voice;
    }
    for (int32_t pass = 0; pass < 2; ++pass) {
      const int32_t shift = pass * kRadixBits;
      static int32_t starts[1 << kRadixBits];
      std::fill(starts, starts + (1 << kRadixBits), 0);
      for (int32_t i = 0; i < count; ++i)
        ++starts[(table.entry_sums[from[i]] >> shift) & kRadixMask];
      int32_t total = 0;
      for (int32_t& start : starts) {
        const int32_t size = start;
        start = total;
        total += size;
      }
      for (int32_t i = 0; i < count; ++i) {
        to[starts[(table.entry_sums[from[i]] >> shift) & kRadixMask]++] = from[i];
      }
      std::swap(from, to);
    }
    // Two passes leave the result where it started, in the layout.
    gClassSpans[class_index] = {next_block, count};

    const int32_t blocks = (count + kBlockLanes - 1) / kBlockLanes;
    for (int32_t i = 0; i < blocks * kBlockLanes; ++i) {
      const int32_t lane = next_block * kBlockLanes + i;
      uint16_t* block_values = gBoundValues + int64_t{lane / kBlockLanes} * kBlockGroupValues;
      const int32_t voice = i < count ? gSortedVoices[lane] : INT32_MAX;
      gSortedVoices[lane] = voice;
      gSortedSums[lane] = i < count ? table.entry_sums[voice] : INT32_MAX;
      const uint16_t* entry = i < count ? PreparedEntry(table.entries, voice) : nullptr;
      for (int32_t j = 0; j < kPreparedEntryValues; ++j) {
        block_values[(j / kGroupBins) * kGroupStride + BoundValueOffset(j, lane % kBlockLanes)] =
            entry != nullptr ? entry[j] : 0;
      }
    }
    next_block += blocks;
  }
  gLayoutEntries = table.entries;
}

bool FastSearchPreparedFor(const PreparedVoiceTable& table) {
  return gLayoutEntries != nullptr && gLayoutEntries == table.entries;
}

FastSearch::FastSearch(const PreparedVoiceTable& table, const FastSearchOptions& options)
    : table_(table),
      simd_(options.simd),
      crew_(options.threads > 0 ? options.threads : DefaultThreadCount()),
      work_(std::make_unique<FastSearchWork>()) {
  work_->members.resize(crew_.size());
}

FastSearch::~FastSearch() = default;

FrameSpectra FastSearch::ComputeFrameSpectra(const uint8_t* samples, int32_t frame,
                                             int32_t fundamental) {
  return ComputeFrameSpectraShared(samples, frame, fundamental, crew_, simd_);
}

BestMatch FastSearch::MatchFrame(const FrameSpectra& spectra, const int32_t ladder[kGainSteps]) {
  if (gLayoutEntries != table_.entries || !KernelLadder(ladder) || !KernelTargets(spectra)) {
    ++frames_given_to_reference_;
    return ::MatchFrame(spectra, table_, ladder);
  }
  return Search<false>(spectra, ladder).best;
}

RankedMatch FastSearch::MatchFrameRanked(const FrameSpectra& spectra,
                                         const int32_t ladder[kGainSteps]) {
  if (gLayoutEntries != table_.entries || !KernelLadder(ladder) || !KernelTargets(spectra)) {
    ++frames_given_to_reference_;
    return ::MatchFrameRanked(spectra, table_, ladder);
  }
  return Search<true>(spectra, ladder);
}

// Both searches in one: the plain one keeps the best candidate; the ranked
// one also the least error of any other entry, which is the second least of
// the entries' own least errors. Each entry of the layout is met by one
// member only, so a member's best and runner-up come from distinct entries,
// and of two members' bests only the warm start's can be the same entry.
template <bool kRanked>
RankedMatch FastSearch::Search(const FrameSpectra& spectra, const int32_t ladder[kGainSteps]) {
  if (gClassSpans[0].count + gClassSpans[1].count == 0) return RankedMatch{};

  FrameWork& work = *work_;
  work.entries = table_.entries;
  work.ladder = ladder;
  work.kernel = KernelFor(simd_);
  for (int32_t class_index = 0; class_index < kClasses; ++class_index) {
    ClassFrame& frame = work.classes[class_index];
    const bool harmonic = class_index == 0;
    frame.target = harmonic ? spectra.harmonic : spectra.half_harmonic;
    frame.target_sum = harmonic ? spectra.harmonic_sum : spectra.half_harmonic_sum;
    frame.frequency = harmonic ? 2 * spectra.fundamental : spectra.fundamental;
    for (int32_t p = 0; p < kPreparedEntryValues / 2; ++p) {
      const uint32_t first = static_cast<uint32_t>(frame.target[4 * p]);
      const uint32_t second = static_cast<uint32_t>(frame.target[4 * p + 2]);
      frame.target_pairs[p] = first | second << 16;
      frame.target_plus7_pairs[p] = (first + 7) | (second + 7) << 16;
    }
    BuildRuns(class_index, frame.target_sum, ladder, &frame);
  }

  // Recent winners, scored on this frame, are usually close to the new one
  // and give the bound a low limit from the start. Any entries that are not
  // skipped would be correct; the ranked search wants two of them.
  BestMatch start;
  int64_t start_runner_up = INT64_MAX;
  int64_t unused_count = 0;
  auto warm = [&](int32_t voice) {
    const ClassFrame& frame = work.classes[ClassOf(voice)];
    const GainWindow window = GainWindowFor(table_.entry_sums[voice], frame.target_sum, ladder);
    const uint16_t* entry = PreparedEntry(table_.entries, voice);
    if constexpr (kRanked) {
      Rank(LeastEntryError(entry, voice, frame.frequency, window.lower, window.upper,
                           frame.target, ladder, start_runner_up, &unused_count),
           &start, &start_runner_up);
    } else {
      SearchGains(entry, voice, frame.frequency, window.lower, window.upper, frame.target, ladder,
                  INT64_MAX, &start, &unused_count);
    }
  };
  for (int32_t voice : recent_winners_) {
    if (voice >= 0 && table_.skip_flags[voice] == 0) warm(voice);
  }
  // Too few recent winners: the first entries of the layout stand in.
  for (int32_t class_index = kClasses - 1; class_index >= 0; --class_index) {
    const ClassSpan span = gClassSpans[class_index];
    for (int32_t lane = 0; lane < std::min(span.count, 2); ++lane) {
      if ((kRanked ? start_runner_up : start.error) != INT64_MAX) break;
      warm(gSortedVoices[span.first_block * kBlockLanes + lane]);
    }
  }

  work.chunk_count = 0;
  for (int32_t class_index = 0; class_index < kClasses; ++class_index) {
    const int32_t blocks = (gClassSpans[class_index].count + kBlockLanes - 1) / kBlockLanes;
    for (int32_t first = 0; first < blocks; first += kChunkBlocks) {
      work.chunks[work.chunk_count++] = {class_index, first,
                                         std::min(first + kChunkBlocks, blocks)};
    }
  }
  work.next_chunk.store(0, std::memory_order_relaxed);
  work.crew_error.store(kRanked ? start_runner_up : start.error, std::memory_order_relaxed);

  // Set up here, not in the task: a member that stays out of the step must
  // still hold a valid best.
  for (Member& member : work.members) {
    member = {};
    member.best = start;
    member.runner_up = start_runner_up;
    member.limit_error = -1;  // no limit made yet
  }
  auto task = [&](int32_t index) {
    Member& member = work.members[index];
    for (;;) {
      const int32_t c = work.next_chunk.fetch_add(1, std::memory_order_relaxed);
      if (c >= work.chunk_count) break;
      SearchChunk<kRanked>(work, work.chunks[c], &member);
    }
  };
  crew_.Run(task);

  RankedMatch ranked;
  ranked.best = start;
  for (const Member& member : work.members) {
    if (Precedes(member.best.error, member.best.voice, member.best.gain_index, ranked.best)) {
      ranked.best = member.best;
    }
    kernel_blocks_[static_cast<int>(simd_)] += member.kernel_calls;
    counts_.entries_scored += member.entries_scored;
    counts_.ranges_scored += member.ranges_scored;
  }
  if constexpr (kRanked) {
    // Every member's runner-up and best but the winner's entry, which the
    // warm start may have left in several members.
    for (const Member& member : work.members) {
      ranked.runner_up_error = std::min(ranked.runner_up_error, member.runner_up);
      if (member.best.voice != ranked.best.voice) {
        ranked.runner_up_error = std::min(ranked.runner_up_error, member.best.error);
      }
    }
  }
  ++counts_.frames;

  // Keep the winner among the recent ones, dropping the oldest.
  const BestMatch& best = ranked.best;
  bool known = false;
  for (int32_t voice : recent_winners_) known = known || voice == best.voice;
  if (!known) {
    recent_winners_[next_recent_] = best.voice;
    next_recent_ = (next_recent_ + 1) % kRecentWinners;
  }
  return ranked;
}
