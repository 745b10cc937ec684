#include "analysis/fast_match.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <vector>

#include "analysis/fast_spectra.h"
#include "analysis/gain_runs.h"
#include "analysis/gain_search.h"
#include "analysis/kernel_limit.h"
#include "analysis/simd/bound_kernel.h"
#include "formats/voice_table.h"

namespace kelditra {

// FastSearch is the fast search's face; its parts are its own to use.
using namespace fast;

namespace {

// Blocks per unit of work that a member of the crew claims at a time.
constexpr int32_t kChunkBlocks = 32;
constexpr int32_t kMaxChunks = kLayoutBlocks / kChunkBlocks + kClasses;

// The highest frame bin the 16-bit kernels take: it and 7 more must fit.
constexpr int32_t kHighestKernelTarget = 65535 - 7;

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

struct Chunk {
  int32_t class_index;
  int32_t first_block;  // blocks of the class
  int32_t end_block;
};

// What one member of the crew keeps while it searches a frame, on a cache
// line of its own: members update theirs all the time, and a neighbour's
// writes must not evict it.
struct alignas(kCacheLineBytes) Member {
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
  const FastSearchLayout* layout;
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
  const FastSearchLayout& layout = *work.layout;
  const ClassSpan span = layout.class_spans[chunk.class_index];
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
    args.values = layout.bound_values.get() + int64_t{layout_block} * kBlockGroupValues;
    args.voices = layout.sorted_voices.get() + layout_block * kBlockLanes;
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
          Rank(LeastEntryError({PreparedEntry(work.entries, voice), voice, frame.frequency,
                                frame.target},
                               run.lower, run.upper, ladder, entry_ceiling,
                               &member->ranges_scored),
               &best, &member->runner_up);
          if (member->runner_up < runner_up_before) PublishError(work, member->runner_up);
        } else {
          const int64_t error_before = best.error;
          SearchGains({PreparedEntry(work.entries, voice), voice, frame.frequency, frame.target},
                      run.lower, run.upper, ladder,
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

FastSearch::FastSearch(PreparedTable& table, const FastSearchOptions& options)
    : table_(table.view()),
      layout_(table.Layout()),
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
  if (layout_ == nullptr || !KernelLadder(ladder) || !KernelTargets(spectra)) {
    ++frames_given_to_reference_;
    return kelditra::MatchFrame(spectra, table_, ladder);
  }
  return Search<false>(spectra, ladder).best;
}

RankedMatch FastSearch::MatchFrameRanked(const FrameSpectra& spectra,
                                         const int32_t ladder[kGainSteps]) {
  if (layout_ == nullptr || !KernelLadder(ladder) || !KernelTargets(spectra)) {
    ++frames_given_to_reference_;
    return kelditra::MatchFrameRanked(spectra, table_, ladder);
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
  const FastSearchLayout& layout = *layout_;
  if (layout.class_spans[0].count + layout.class_spans[1].count == 0) return RankedMatch{};

  FrameWork& work = *work_;
  work.layout = &layout;
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
    frame.run_count = BuildRuns(layout, class_index, frame.target_sum, ladder, frame.runs);
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
    const EntryCandidate candidate{PreparedEntry(table_.entries, voice), voice, frame.frequency,
                                   frame.target};
    if constexpr (kRanked) {
      Rank(LeastEntryError(candidate, window.lower, window.upper, ladder, start_runner_up,
                           &unused_count),
           &start, &start_runner_up);
    } else {
      SearchGains(candidate, window.lower, window.upper, ladder, INT64_MAX, &start, &unused_count);
    }
  };
  for (int32_t voice : recent_winners_) {
    if (voice >= 0 && table_.skip_flags[voice] == 0) warm(voice);
  }
  // Too few recent winners: the first entries of the layout stand in.
  for (int32_t class_index = kClasses - 1; class_index >= 0; --class_index) {
    const ClassSpan span = layout.class_spans[class_index];
    for (int32_t lane = 0; lane < std::min(span.count, 2); ++lane) {
      if ((kRanked ? start_runner_up : start.error) != INT64_MAX) break;
      warm(layout.sorted_voices[span.first_block * kBlockLanes + lane]);
    }
  }

  work.chunk_count = 0;
  for (int32_t class_index = 0; class_index < kClasses; ++class_index) {
    const int32_t blocks = (layout.class_spans[class_index].count + kBlockLanes - 1) / kBlockLanes;
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

}  // namespace kelditra
