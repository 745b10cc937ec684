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

// The level a search uses: the one named by `forced` when it is not empty,
// else the one named by the environment variable KELDITRA_SIMD, else the best.
// A named level that does not run here gives an error text and the best level.
SimdLevel ChooseSimdLevel(const std::string& forced, std::string* error);

}  // namespace kelditra
