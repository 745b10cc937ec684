#include "cli/terminal_host.h"

#include <chrono>
#include <csignal>
#include <cstdio>

#include "analysis/frame_spectra.h"

namespace {

volatile std::sig_atomic_t gInterruptPending = 0;
bool gInterrupted = false;

const auto kProcessStart = std::chrono::steady_clock::now();

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

std::string Duration(double seconds) {
  const int whole = static_cast<int>(seconds + 0.5);
  char text[32];
  std::snprintf(text, sizeof text, "%d:%02d", whole / 60, whole % 60);
  return text;
}

}  // namespace

void InstallInterruptHandler() { std::signal(SIGINT, OnInterrupt); }

TerminalHost::TerminalHost(bool show_progress) : show_progress_(show_progress) {}

void TerminalHost::SetPath(const std::string& path) {
  path_ = path;
  last_message_.clear();
}

bool TerminalHost::Interrupted() const { return gInterrupted; }

bool TerminalHost::HasPerformanceCounter() { return std::chrono::steady_clock::is_steady; }

std::string TerminalHost::PathFieldText() { return path_; }

void TerminalHost::ShowMessage(const std::string& text, int) {
  last_message_ = text;
  std::printf("%s: %s\n", path_.c_str(), text.c_str());
  std::fflush(stdout);
}

void TerminalHost::FrameLoopStarting(int32_t frame_count) { frame_count_ = frame_count; }

WindowHandle TerminalHost::CreateProgressWindow() {
  if (!show_progress_) return nullptr;
  loop_start_ms_ = ProcessClockMs();
  return &gProgressBarToken;
}

void TerminalHost::RefreshProgressWindow(WindowHandle) {
  constexpr int kBarWidth = 30;
  const double percent = gProgressPercent;
  const double seconds = (ProcessClockMs() - loop_start_ms_) / 1000.0;
  // The percentage counts frame starts out of frame_count + 1 frames.
  const double frames_done = percent / 100.0 * (frame_count_ + 1) + 1;
  const double rate = seconds > 0 ? frames_done / seconds : 0;
  const double left = rate > 0 ? (frame_count_ - frames_done) / rate : 0;

  const int filled = static_cast<int>(percent / 100.0 * kBarWidth);
  std::string bar(static_cast<size_t>(filled), '#');
  bar.resize(kBarWidth, '.');
  std::fprintf(stderr, "\r%s [%s] %5.1f%%  %.1f frames/s  %s left ", path_.c_str(), bar.c_str(),
               percent, rate, Duration(left).c_str());
  std::fflush(stderr);
  bar_drawn_ = true;
}

void TerminalHost::DestroyProgressWindow(WindowHandle) { ClearBar(); }

void TerminalHost::ClearBar() {
  if (!bar_drawn_) return;
  std::fprintf(stderr, "\r\033[K");
  std::fflush(stderr);
  bar_drawn_ = false;
}

int64_t TerminalHost::ProcessClockMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                               kProcessStart)
      .count();
}

bool TerminalHost::HasPendingMessage() { return gInterruptPending != 0; }

bool TerminalHost::PumpOneMessage() {
  // Ctrl-C acts as the progress window's cancel button: raise the flag and
  // take the window down; the job stops at its next tick.
  gInterruptPending = 0;
  gInterrupted = true;
  gCancelFlag = 1;
  if (gProgressWindow != nullptr) ClearBar();
  gProgressWindow = nullptr;
  return true;
}

void TerminalHost::PostQuit() {}
