#include "analysis/simd/simd_level.h"

#include <cstdlib>

namespace kelditra {

namespace {

constexpr const char* kNames[kSimdLevelCount] = {"portable", "sse2", "avx2", "avx512"};

}  // namespace

const char* SimdLevelName(SimdLevel level) { return kNames[static_cast<int32_t>(level)]; }

bool ParseSimdLevel(const std::string& name, SimdLevel* level) {
  for (int32_t i = 0; i < kSimdLevelCount; ++i) {
    if (name == kNames[i]) {
      *level = static_cast<SimdLevel>(i);
      return true;
    }
  }
  return false;
}

bool SimdLevelRuns(SimdLevel level) {
  switch (level) {
    case SimdLevel::kPortable:
      return true;
#if defined(KELDITRA_HAVE_X86_KERNELS)
    case SimdLevel::kSse2:
      return true;  // part of every x86-64 processor
    case SimdLevel::kAvx2:
      return __builtin_cpu_supports("avx2");
    case SimdLevel::kAvx512:
      // The kernel works on 16-bit lanes, which takes the BW extension.
      return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
#endif
    default:
      return false;
  }
}

SimdLevel BestSimdLevel() {
  for (int32_t i = kSimdLevelCount - 1; i > 0; --i) {
    if (SimdLevelRuns(static_cast<SimdLevel>(i))) return static_cast<SimdLevel>(i);
  }
  return SimdLevel::kPortable;
}

SimdChoice ChooseSimdLevel(const std::string& forced) {
  std::string name = forced;
  if (name.empty()) {
    const char* variable = std::getenv("KELDITRA_SIMD");
    if (variable != nullptr) name = variable;
  }
  if (name.empty()) return {BestSimdLevel(), SimdRefusal::kNone, {}};
  SimdLevel level;
  if (!ParseSimdLevel(name, &level)) return {BestSimdLevel(), SimdRefusal::kUnknownName, name};
  if (!SimdLevelRuns(level)) return {BestSimdLevel(), SimdRefusal::kDoesNotRun, name};
  return {level, SimdRefusal::kNone, {}};
}

}  // namespace kelditra
