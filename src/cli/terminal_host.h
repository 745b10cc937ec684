#pragma once

#include <cstdint>
#include <string>

#include "cli/language.h"
#include "cli/progress_bar.h"
#include "job/job_host.h"

namespace kelditra {

// The job's front end on a terminal: the path comes from the command line,
// the outcome is kept for the command to show, the progress window is a bar
// on stderr, and Ctrl-C is the cancel button.
class TerminalHost : public JobHost {
 public:
  TerminalHost(bool show_progress, Language language);

  // Runs before each file's job.
  void SetPath(const std::string& path);

  bool HasPerformanceCounter() override;
  std::string PathFieldText() override;
  void ShowOutcome(const Failure& outcome) override;
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
  Language language_;
  ProgressBar bar_;
  std::string path_;
  int32_t frame_count_ = 0;
  double loop_start_seconds_ = 0;
};

}  // namespace kelditra
