#pragma once

#include <cstdint>

namespace kelditra::fast {

// The bound kernels' view of a best error so far. Errors from 2^22 up are
// compared at a coarser scale: distances shifted right by `extra` more bits
// give cubes 2^(3 * extra) smaller, never more than the true ones, against a
// limit shifted the same way, so the kernel still never throws out an entry
// that could win.
struct KernelLimit {
  int32_t shift;  // 3 + extra
  uint16_t cap;   // the least distance whose cube alone passes the limit
  int32_t limit;
  bool ties_exact;  // at the exact scale an equal bound still decides by voice
};

KernelLimit KernelLimitFor(int64_t error);

}  // namespace kelditra::fast
