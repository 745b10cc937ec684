#pragma once

#include <cstdlib>
#include <string>
#include <vector>

#include "analysis/simd/simd_level.h"

namespace kelditra {

// The kernels a test compares with the plain code: the one KELDITRA_SIMD
// names, or every kernel this processor runs. A named kernel that cannot run
// here gives a reason to skip, and the test skips rather than test another.
inline std::vector<SimdLevel> KernelsUnderTest(std::string* skip_reason) {
  if (std::getenv("KELDITRA_SIMD") != nullptr) {
    const SimdChoice choice = ChooseSimdLevel("");
    if (choice.refusal != SimdRefusal::kNone) *skip_reason = "KELDITRA_SIMD=" + choice.name;
    return {choice.level};
  }
  std::vector<SimdLevel> kernels;
  for (int32_t level = 0; level < kSimdLevelCount; ++level) {
    if (SimdLevelRuns(static_cast<SimdLevel>(level))) kernels.push_back(static_cast<SimdLevel>(level));
  }
  return kernels;
}

}  // namespace kelditra
