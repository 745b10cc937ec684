#pragma once

#include <cstdint>

namespace kelditra {

// Every block a job uses comes from this pool and goes back in one call, so
// no path out of a job can leave memory behind.
inline constexpr int kPoolSlots = 256;

// A non-zero size hands out a fixed block of that many bytes (nullptr when the
// platform has none; the failed request still takes a slot). Size 0 frees
// every block, last first, and returns nullptr. A request once all slots are
// taken returns nullptr and allocates nothing.
void* PoolAlloc(uint32_t size);

// Slots in use, for checks that the pool is empty between jobs.
int PoolBlockCount();

}  // namespace kelditra
