#include "cli/terminal_host.h"

#include <chrono>

#include "cli/console.h"
#include "cli/interrupt.h"

namespace kelditra {

namespace {

// A non-null token stands for the bar; the job only stores and returns it.
int gProgressBarToken;

}  // namespace

TerminalHost::TerminalHost(bool show_progress, Language language)
    : show_progress_(show_progress), language_(language), bar_(show_progress) {}

void TerminalHost::SetPath(const std::string& path) { path_ = path; }

bool TerminalHost::HasPerformanceCounter() { return std::chrono::steady_clock::is_steady; }

std::string TerminalHost::PathFieldText() { return path_; }

// The command shows the outcome from the job's result, once the job is over.
void TerminalHost::ShowOutcome(const Failure&) { bar_.Clear(); }

void TerminalHost::InputsLoading() {
  bar_.Status(Say(language_, "{1}: loading the voice table, the pitch track and the sound, preparing the table",
                  "{1}：音色テーブル、ピッチトラック、音声を読み込み、テーブルを準備しています",
                  {path_}));
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

bool TerminalHost::HasPendingMessage() { return InterruptPending(); }

bool TerminalHost::PumpOneMessage() {
  // Ctrl-C acts as the progress window's cancel button: raise the flag and
  // take the window down; the job stops at its next tick.
  TakeInterrupt();
  gCancelFlag = 1;
  if (gProgressWindow != nullptr) bar_.Clear();
  gProgressWindow = nullptr;
  return true;
}

void TerminalHost::PostQuit() {}

}  // namespace kelditra
