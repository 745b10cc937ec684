#pragma once

#include <cstdint>
#include <memory>

#include "analysis/fast_spectra.h"
#include "analysis/fast_workers.h"
#include "analysis/frame_spectra.h"
#include "analysis/gain_ladder.h"
#include "analysis/prepared_table.h"
#include "analysis/simd/simd_level.h"
#include "analysis/voice_match.h"

namespace kelditra {

// The fast search gives MatchFrame's answer, ties included, for a fraction of
// the work. The answer of the plain search is the candidate (entry, gain)
// with the least error, and among equal errors the lowest voice index, then
// the lowest gain index. Any order of visiting the candidates finds it when
// candidates are compared by (error, voice, gain), so the fast search:
//   - starts from the best of the last few frames' winners, scored exactly
//     on this frame;
//   - visits the entries sorted by entry sum, so that runs of entries share a
//     gain window, and throws out whole entries with a SIMD lower bound of
//     their error over the window, 32 entries at a time. A bound equal to the
//     best error still keeps an entry whose voice index comes first;
//   - for the few entries left, halves the window while the bound of a half
//     can still win, down to single gains, whose bound is the exact error;
//   - shares the entries among a crew of threads, which tell each other
//     their best errors, and keeps the best of their bests.

struct FastSearchOptions {
  int32_t threads = 0;  // 0: every core
  SimdLevel simd = SimdLevel::kPortable;
};

struct FastSearchWork;

// How much exact work the bound left, for benchmarks.
struct FastSearchCounts {
  int64_t frames = 0;
  int64_t entries_scored = 0;  // entries the kernel let through
  int64_t ranges_scored = 0;   // gain ranges and single gains scored exactly
};

// One job's fast search over a prepared table: its crew of threads, its
// kernel, and the winners it carries from frame to frame. The table must
// outlive the search; its layout is shared with every other search over it.
class FastSearch {
 public:
  FastSearch(PreparedTable& table, const FastSearchOptions& options);
  ~FastSearch();
  FastSearch(const FastSearch&) = delete;
  FastSearch& operator=(const FastSearch&) = delete;

  // MatchFrame's result for the frame, ties included.
  BestMatch MatchFrame(const FrameSpectra& spectra, const int32_t ladder[kGainSteps]);

  // MatchFrameRanked's result: the same winner, and the least error of any
  // other entry. An entry is then thrown out only when it cannot beat the
  // runner-up, and each one left is scored down to its own least error,
  // which costs a little more than MatchFrame.
  RankedMatch MatchFrameRanked(const FrameSpectra& spectra, const int32_t ladder[kGainSteps]);

  // ComputeFrameSpectra's result, the bins shared among the crew, the sums
  // from the vector kernel of the search's level.
  FrameSpectra ComputeFrameSpectra(const uint8_t* samples, int32_t frame, int32_t fundamental);

  SimdLevel simd_level() const { return simd_; }
  int32_t thread_count() const { return crew_.size(); }
  // How many blocks of 32 entries each kernel has bounded so far: the proof
  // of which kernel really ran.
  int64_t kernel_blocks(SimdLevel level) const { return kernel_blocks_[static_cast<int>(level)]; }
  // Frames handed to the plain search because their input lies outside
  // what the kernels take (a compared bin above 65528, a ladder that falls
  // or passes 8191, a table whose sums no layout takes).
  int64_t frames_given_to_reference() const { return frames_given_to_reference_; }
  const FastSearchCounts& counts() const { return counts_; }

 private:
  template <bool kRanked>
  RankedMatch Search(const FrameSpectra& spectra, const int32_t ladder[kGainSteps]);

  PreparedVoiceTable table_;
  std::shared_ptr<const fast::FastSearchLayout> layout_;
  SimdLevel simd_;
  fast::WorkerCrew crew_;
  std::unique_ptr<FastSearchWork> work_;  // what the crew shares during a frame
  static constexpr int32_t kRecentWinners = 8;
  int32_t recent_winners_[kRecentWinners] = {-1, -1, -1, -1, -1, -1, -1, -1};
  int32_t next_recent_ = 0;
  FastSearchCounts counts_;
  int64_t kernel_blocks_[kSimdLevelCount] = {};
  int64_t frames_given_to_reference_ = 0;
};

}  // namespace kelditra
