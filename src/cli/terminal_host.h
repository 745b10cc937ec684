#pragma once

#include <cstdint>
#include <string>

#include "cli/progress_bar.h"
#include "job/job_host.h"

// The job's front end on a terminal: the path comes from the command line,
// the outcome goes to stdout as "FILE: MESSAGE", the progress window is a bar
// on stderr, and Ctrl-C is the cancel button.
class TerminalHost : public JobHost {
 public:
  explicit TerminalHost(bool show_progress);

  // Runs before each file's job.
  void SetPath(const std::string& path);
  const std::string& LastMessage() const { return last_message_; }

  // True once Ctrl-C has stopped a job; later files are not started.
  bool Interrupted() const;

  bool HasPerformanceCounter() override;
  std::string PathFieldText() override;
  void ShowMessage(const std::string& text, int style) override;
  void InputsLoading() override;
  void FrameLoopStarting(int32_t frame_count) override;
  WindowHandle CreateProgressWindow() override;
  void RefreshProgressWindow(WindowHandle window) override;
  void DestroyProgressWindow(WindowHandle window) override;
  int64_t ProcessClockMs() override;
  bool HasPendingMessage() override;
  bool PumpOneMessage() override;
  void PostQuit() override;

 private:
  bool show_progress_;
  ProgressBar bar_;
  std::string path_;
  std::string last_message_;
  int32_t frame_count_ = 0;
  double loop_start_seconds_ = 0;
};

// Installs the Ctrl-C handler: the first press asks the running job to stop
// at its next tick, a second one ends the process at once.
void InstallInterruptHandler();
