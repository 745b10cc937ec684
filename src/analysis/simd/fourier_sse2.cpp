// The Fourier sums with 128-bit vectors and nothing past SSE2: 2 bins side
// by side.

#include "analysis/simd/fourier_kernel.h"
#include "analysis/simd/fourier_lanes.h"

namespace kelditra::fast {

void FourierSumsSse2(const double* x, const double* steps, double* re, double* im) {
  FourierSumsLanes<kSse2FourierLanes>(x, steps, re, im);
}

}  // namespace kelditra::fast
