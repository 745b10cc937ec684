#pragma once

#include <cstdio>
#include <cstdlib>

namespace kelditra {

// A broken promise is a finding: libFuzzer keeps the input that led to it.
inline void Require(bool holds, const char* promise) {
  if (holds) return;
  std::fprintf(stderr, "broken: %s\n", promise);
  std::abort();
}

}  // namespace kelditra
