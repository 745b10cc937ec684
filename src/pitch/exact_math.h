#pragma once

#include <cstdint>

namespace kelditra {

// The pitch track must come out the same, byte for byte, from every build of
// the program. The C libraries of the platforms round cos and log
// differently in the last bit, so the tracker uses these instead: only
// additions, multiplications and divisions, which IEEE 754 rounds the same
// everywhere.

// cos(2 pi k / n) for n > 0, any k, to within a few units in the last place.
double CosineOfTurn(int64_t k, int64_t n);

// sin(pi x) for 0 <= x <= 1, to within a few units in the last place.
double SineOfHalfTurn(double x);

// log2(x) for finite x > 0, to within a few units in the last place.
double Log2(double x);

}  // namespace kelditra
