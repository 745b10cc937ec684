#pragma once

#include <cstdint>
#include <string>

namespace kelditra {

// The instruction sets the fast search has bound kernels for, lowest first.
enum class SimdLevel : int32_t { kPortable = 0, kSse2 = 1, kAvx2 = 2, kAvx512 = 3 };

inline constexpr int32_t kSimdLevelCount = 4;

// "portable", "sse2", "avx2", "avx512".
const char* SimdLevelName(SimdLevel level);

// Accepts the names above; false for anything else.
bool ParseSimdLevel(const std::string& name, SimdLevel* level);

// Whether this build has the level's kernel and this processor can run it.
bool SimdLevelRuns(SimdLevel level);

// The highest level that runs here.
SimdLevel BestSimdLevel();

// Why a level asked for by name is not the one used.
enum class SimdRefusal { kNone, kUnknownName, kDoesNotRun };

struct SimdChoice {
  SimdLevel level = SimdLevel::kPortable;
  SimdRefusal refusal = SimdRefusal::kNone;
  std::string name;  // the name asked for, when refused
};

// The level a search uses: the one named by `forced` when it is not empty,
// else the one named by the environment variable KELDITRA_SIMD, else the best.
// A named level that does not run here gives the best level, and says why.
SimdChoice ChooseSimdLevel(const std::string& forced);

}  // namespace kelditra
