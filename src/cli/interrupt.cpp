#include "cli/interrupt.h"

#include <atomic>
#include <csignal>

#ifdef _WIN32
#include <windows.h>
#endif

namespace kelditra {

namespace {

// Written by the signal handler, or on Windows by the console's own handler
// thread, and read by the main thread: lock-free atomics serve both.
std::atomic<int> gPresses{0};
std::atomic<bool> gTaken{false};
static_assert(std::atomic<int>::is_always_lock_free);

#ifdef _WIN32
BOOL WINAPI OnConsoleControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  // FALSE on the second press hands it to the default handler, which ends
  // the process.
  return gPresses.fetch_add(1) == 0 ? TRUE : FALSE;
}
#else
void OnInterrupt(int) {
  if (gPresses.fetch_add(1) > 0) {
    std::signal(SIGINT, SIG_DFL);
    std::raise(SIGINT);
  }
}
#endif

}  // namespace

void InstallInterruptHandler() {
#ifdef _WIN32
  SetConsoleCtrlHandler(OnConsoleControl, TRUE);
#else
  std::signal(SIGINT, OnInterrupt);
#endif
}

bool InterruptPending() { return gPresses.load() > 0 && !gTaken.load(); }

void TakeInterrupt() { gTaken.store(true); }

bool Interrupted() { return gPresses.load() > 0; }

}  // namespace kelditra
