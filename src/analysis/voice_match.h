#pragma once

#include <cstdint>

#include "analysis/frame_spectra.h"
#include "analysis/gain_ladder.h"

namespace kelditra {

// A voice table after PrepareVoiceTable, with its per-entry arrays.
struct PreparedVoiceTable {
  const uint8_t* entries;     // 64 native 16-bit values per entry
  const uint8_t* skip_flags;  // non-zero: never tried
  const int32_t* entry_sums;  // sum of the 128 raw bins
};

// The best candidate of a frame. Its starting value (error at the largest
// 64-bit value, everything else 0) is what a frame keeps when every entry is
// skipped: voice 0, gain 0, frequency 0, a silent record.
struct BestMatch {
  int64_t error = INT64_MAX;
  int32_t voice = 0;
  int32_t gain_index = 0;
  int32_t frequency = 0;
};

// The error of one prepared entry at one gain against a target spectrum: the
// sum over the 64 compared bins of |(scaled - target) >> 3|^3. It stops adding
// once the sum exceeds give_up_above, since it can then never win.
int64_t MatchingError(const uint16_t* entry, int32_t gain, const int32_t* target,
                      int64_t give_up_above);

// Bits 4 to 7 of a voice index select the spectrum it is matched against.
inline bool MatchesHarmonicSpectrum(int32_t voice) { return ((voice >> 4) & 15) == 0; }

// The plain exhaustive search: every entry whose skip flag is clear, over its
// whole gain window, in ascending voice and gain order; only a strictly
// smaller error replaces the best. Kept as the oracle for faster searches.
BestMatch MatchFrame(const FrameSpectra& spectra, const PreparedVoiceTable& table,
                     const int32_t ladder[kGainSteps]);

// The winner of a frame together with the best error of any other entry,
// for reports that show how clear the win was.
struct RankedMatch {
  BestMatch best;
  int64_t runner_up_error = INT64_MAX;  // INT64_MAX: no other entry was tried
};

// The plain search, keeping the runner-up as well. Its winner is exactly
// MatchFrame's; it pays for the runner-up with a weaker early exit.
RankedMatch MatchFrameRanked(const FrameSpectra& spectra, const PreparedVoiceTable& table,
                             const int32_t ladder[kGainSteps]);

}  // namespace kelditra
