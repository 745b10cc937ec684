#include "analysis/kernel_limit.h"

#include <cmath>

#include "analysis/simd/bound_kernel.h"

namespace kelditra::fast {

namespace {

// Limits the kernels are given stay below this, so that the cap, whose cube
// just passes the limit, stays within kLargestCap.
constexpr int64_t kKernelLimitCeiling = int64_t{1} << 22;
static_assert(162 * 162 * 162 > kKernelLimitCeiling && 162 <= kLargestCap);

}  // namespace

KernelLimit KernelLimitFor(int64_t error) {
  int32_t extra = 0;
  while ((error >> (3 * extra)) >= kKernelLimitCeiling) ++extra;
  const int32_t limit = static_cast<int32_t>(error >> (3 * extra));
  // Capping a distance there loses nothing: its cube alone passes the limit.
  int32_t cap = static_cast<int32_t>(std::cbrt(static_cast<double>(limit)));
  while (int64_t{cap} * cap * cap <= limit) ++cap;
  while (cap > 1 && int64_t{cap - 1} * (cap - 1) * (cap - 1) > limit) --cap;
  return {3 + extra, static_cast<uint16_t>(cap), limit, extra == 0};
}

}  // namespace kelditra::fast
