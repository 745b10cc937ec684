#pragma once

#include <cstdint>

#include "analysis/voice_match.h"

namespace kelditra::fast {

// The exact part of the fast search: one entry over a window of gains,
// scored on the entry's own values, for the few entries the bound kernels
// let through.

// Gains [first_gain, last_gain] of the ladder (values, not indices): a lower
// bound on an entry's error over them, the exact error when first == last.
// It stops adding once the sum passes limit.
int64_t RangeError(const uint16_t* entry, int32_t first_gain, int32_t last_gain,
                   const int32_t* target, int64_t limit);

// Whether a candidate of this error, voice and gain index would replace
// best: the plain search's order, where a later equal candidate never does.
inline bool Precedes(int64_t error, int32_t voice, int32_t gain_index, const BestMatch& best) {
  if (error != best.error) return error < best.error;
  if (voice != best.voice) return voice < best.voice;
  return gain_index < best.gain_index;
}

// One entry as a candidate of a frame: its values, voice index and the
// frequency a win records, against the target spectrum.
struct EntryCandidate {
  const uint16_t* entry;
  int32_t voice;
  int32_t frequency;
  const int32_t* target;
};

// Gains first..last (indices) of one entry, halving the window while a
// half's bound can still beat best, down to single gains, each of which is
// scored exactly. A candidate above ceiling (the best error another member
// of the crew has found) cannot win either. Counts the ranges it scores.
void SearchGains(const EntryCandidate& candidate, int32_t first, int32_t last,
                 const int32_t* ladder, int64_t ceiling, BestMatch* best, int64_t* ranges_scored);

// No gain of the entry reaches the ceiling.
inline constexpr int32_t kNoGain = INT32_MAX;

// The least error of one entry over gains first..last, at the lowest gain
// that gives it, when it is at most ceiling; gain_index kNoGain otherwise.
BestMatch LeastEntryError(const EntryCandidate& candidate, int32_t first, int32_t last,
                          const int32_t* ladder, int64_t ceiling, int64_t* ranges_scored);

// Takes an entry's least error into the winner and the least error of the
// other entries.
void Rank(const BestMatch& least, BestMatch* best, int64_t* runner_up);

}  // namespace kelditra::fast
