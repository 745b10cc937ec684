#include "io/pool.h"

#include "io/platform_file.h"

namespace kelditra {

namespace {

void* gPoolSlots[kPoolSlots];
int gPoolCount = 0;

}  // namespace

void* PoolAlloc(uint32_t size) {
  if (size == 0) {
    while (gPoolCount > 0) {
      --gPoolCount;
      FreeFixed(gPoolSlots[gPoolCount]);
      gPoolSlots[gPoolCount] = nullptr;
    }
    return nullptr;
  }
  if (gPoolCount == kPoolSlots) return nullptr;
  void* block = AllocateFixed(size);
  gPoolSlots[gPoolCount++] = block;
  return block;
}

int PoolBlockCount() { return gPoolCount; }

}  // namespace kelditra
