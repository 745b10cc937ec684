#include "analysis/gain_search.h"

#include <algorithm>

#include "formats/voice_table.h"

namespace kelditra::fast {

int64_t RangeError(const uint16_t* entry, int32_t first_gain, int32_t last_gain,
                   const int32_t* target, int64_t limit) {
  int64_t sum = 0;
  for (int32_t j = 0; j < kPreparedEntryValues; ++j) {
    const int32_t x = target[2 * j];
    // The scaled value never falls as the gain rises, so over the range it
    // lies between these two; inside them the bin costs nothing.
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

void SearchGains(const EntryCandidate& candidate, int32_t first, int32_t last,
                 const int32_t* ladder, int64_t ceiling, BestMatch* best, int64_t* ranges_scored) {
  struct Span {
    int32_t first;
    int32_t last;
    int64_t bound;  // stays valid: the limit it was summed against only falls
  };
  auto score = [&](int32_t low, int32_t high) {
    ++*ranges_scored;
    return Span{low, high,
                RangeError(candidate.entry, ladder[low], ladder[high], candidate.target,
                           std::min(best->error, ceiling))};
  };
  // Depth-first halving of at most 256 gains: two pending spans per level.
  Span pending[2 * 9 + 2];
  int32_t depth = 0;
  pending[depth++] = score(first, last);
  while (depth > 0) {
    const Span span = pending[--depth];
    if (span.bound > ceiling || !Precedes(span.bound, candidate.voice, span.first, *best)) continue;
    if (span.first == span.last) {
      *best = {span.bound, candidate.voice, span.first, candidate.frequency};
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

// Searched as a candidate of error ceiling that comes after every gain of the
// entry, so that SearchGains keeps whatever reaches it.
BestMatch LeastEntryError(const EntryCandidate& candidate, int32_t first, int32_t last,
                          const int32_t* ladder, int64_t ceiling, int64_t* ranges_scored) {
  BestMatch least{ceiling, candidate.voice, kNoGain, candidate.frequency};
  SearchGains(candidate, first, last, ladder, ceiling, &least, ranges_scored);
  return least;
}

// The warm start's entries come round again in the scan: the winner's must
// not then count as a second entry. Any other entry seen twice brings the
// same error, which moves neither.
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

}  // namespace kelditra::fast
