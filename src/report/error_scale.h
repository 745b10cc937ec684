#pragma once

#include <cstdint>
#include <vector>

namespace kelditra {

// The matching error has no unit a reader knows, so the page sets it against
// the error the same frame would have with nothing at all (any entry at gain
// 0): that ratio is 0 for a perfect match and 1 for a match no better than
// silence.

// The search's error of gain 0 against the 64 compared values.
int64_t SilenceError(const std::vector<int32_t>& compared_values);

// The ratio as a level: how far the difference between the frame and the
// chosen entry lies below the frame itself, in dB. The error cubes each
// difference, so an error ratio r is a level ratio of r^(1/3). NaN when the
// frame measured nothing (silence_error 0).
double ResidualDecibels(int64_t error, int64_t silence_error);

}  // namespace kelditra
