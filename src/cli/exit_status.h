#pragma once

namespace kelditra {

inline constexpr int kExitAllFinished = 0;
inline constexpr int kExitSomeFailed = 1;
inline constexpr int kExitUsage = 2;
// As a shell reports a process that SIGINT ended.
inline constexpr int kExitInterrupted = 130;

}  // namespace kelditra
