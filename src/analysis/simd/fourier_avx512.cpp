// The Fourier sums with 512-bit vectors: 8 bins side by side. Built with the
// same flags as the AVX-512 bound kernel and run under the same level.

#include "analysis/simd/fourier_kernel.h"
#include "analysis/simd/fourier_lanes.h"

namespace kelditra::fast {

void FourierSumsAvx512(const double* x, const double* steps, double* re, double* im) {
  FourierSumsLanes<kAvx512FourierLanes>(x, steps, re, im);
}

}  // namespace kelditra::fast
