#pragma once

#include <cstdint>
#include <string>

namespace kelditra {

// How a conversion searches its frames. Every choice gives the same records.
struct SearchSettings {
  // The plain search instead of the fast one.
  bool reference_search = false;
  // Threads of the fast search and its spectra; 0 takes every core.
  int32_t threads = 0;
  // The fast search's instruction set by name ("avx2", ...); empty takes
  // KELDITRA_SIMD when set, else the best this processor runs.
  std::string simd;
};

}  // namespace kelditra
