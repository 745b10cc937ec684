#include "cli/terminal_host.h"

#include <chrono>
#include <csignal>
#include <cstdio>


namespace {

volatile std::sig_atomic_t gInterruptPending = 0;
bool gInterrupted = false;

void OnInterrupt(int) {
  if (gInterruptPending != 0) {
    std::signal(SIGINT, SIG_DFL);
    std::raise(SIGINT);
    return;
  }
  gInterruptPending = 1;
}

// A non-null token stands for the bar; the job only stores and returns it.
int gProgressBarToken;

}  // namespace

void InstallInterruptHandler() { std::signal(SIGINT, OnInterrupt); }

TerminalHost::TerminalHost(bool show_progress)
    : show_progress_(show_progress), bar_(show_progress) {}

void TerminalHost::SetPath(const std::string& path) {
  path_ = path;
  last_message_.clear();
}

bool TerminalHost::Interrupted() const { return gInterrupted; }

bool TerminalHost::HasPerformanceCounter() { return std::chrono::steady_clock::is_steady; }

std::string TerminalHost::PathFieldText() { return path_; }

void TerminalHost::ShowMessage(const std::string& text, int) {
  bar_.Clear();
  last_message_ = text;
  std::printf("%s: %s\n", path_.c_str(), text.c_str());
  std::fflush(stdout);
}

void TerminalHost::InputsLoading() {
  bar_.Status(path_ + ": loading the voice table, the pitch track and the sound, preparing the table");
}

void TerminalHost::FrameLoopStarting(int32_t frame_count) { frame_count_ = frame_count; }

WindowHandle TerminalHost::CreateProgressWindow() {
  if (!show_progress_) return nullptr;
  loop_start_seconds_ = SecondsSinceStart();
  return &gProgressBarToken;
}

void TerminalHost::RefreshProgressWindow(WindowHandle) {
  // The percentage counts frame starts out of frame_count + 1 frames.
  const double frames_done = gProgressPercent / 100.0 * (frame_count_ + 1) + 1;
  bar_.Draw(path_, frames_done, frame_count_, SecondsSinceStart() - loop_start_seconds_, "frames");
}

void TerminalHost::DestroyProgressWindow(WindowHandle) { bar_.Clear(); }

int64_t TerminalHost::ProcessClockMs() {
  return static_cast<int64_t>(SecondsSinceStart() * 1000.0);
}

bool TerminalHost::HasPendingMessage() { return gInterruptPending != 0; }

bool TerminalHost::PumpOneMessage() {
  // Ctrl-C acts as the progress window's cancel button: raise the flag and
  // take the window down; the job stops at its next tick.
  gInterruptPending = 0;
  gInterrupted = true;
  gCancelFlag = 1;
  if (gProgressWindow != nullptr) bar_.Clear();
  gProgressWindow = nullptr;
  return true;
}

void TerminalHost::PostQuit() {}
