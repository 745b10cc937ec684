#pragma once

#include <windows.h>

#include <string>

#include "job/job_host.h"

namespace kelditra {

// The main dialog (template 102): a path field, browse, convert and exit. It
// is also the conversion job's host: the owner of its message boxes and of
// the progress window, and the pump that keeps the program alive during it.
class CConverterDialog : public JobHost {
 public:
  CConverterDialog();

  // Creates the dialog without an owner and runs it modally; the window is
  // gone when this returns.
  int DoModal();

  // JobHost.
  bool HasPerformanceCounter() override;
  std::string PathFieldText() override;
  void ShowOutcome(const Failure& outcome) override;
  WindowHandle CreateProgressWindow() override;
  void RefreshProgressWindow(WindowHandle window) override;
  void DestroyProgressWindow(WindowHandle window) override;
  int64_t ProcessClockMs() override;
  bool HasPendingMessage() override;
  bool PumpOneMessage() override;
  void PostQuit() override;

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  INT_PTR HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);

  void OnInitDialog();
  bool OnPaint();
  void OnBrowse();
  void OnConvert();
  void OnExit();
  void OnClose();
  void OnDestroy();

  HWND window_ = nullptr;
  HWND path_field_ = nullptr;
  HICON icon_ = nullptr;
};

}  // namespace kelditra
