// The Fourier sums with 256-bit vectors: 4 bins side by side. Built with
// -mavx2; runs only when the processor has it.

#include "analysis/simd/fourier_kernel.h"
#include "analysis/simd/fourier_lanes.h"

namespace kelditra::fast {

void FourierSumsAvx2(const double* x, const double* steps, double* re, double* im) {
  FourierSumsLanes<kAvx2FourierLanes>(x, steps, re, im);
}

}  // namespace kelditra::fast
