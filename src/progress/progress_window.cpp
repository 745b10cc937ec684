#include "progress/progress_window.h"

#include "job/shared_state.h"
#include "progress/progress_text.h"
#include "resources/messages.h"
#include "resources/resource_ids.h"

namespace kelditra {

namespace {

// The job's request to redraw; the same value as IDOK, which nothing in this
// window sends.
constexpr WPARAM kRefreshRequest = 1;

// Every way the window goes away asks the job to stop; the job notices at its
// next tick. After a normal end the raised flag is never read.
void CancelAndClose(HWND window, bool already_being_destroyed) {
  gCancelFlag = 1;
  if (!already_being_destroyed) DestroyWindow(window);
  gProgressWindow = nullptr;
}

void RefreshText(HWND window) {
  SetWindowTextA(GetDlgItem(window, IDC_PROGRESS_TEXT),
                 Utf8ToShiftJis(ProgressText(gProgressPercent)).c_str());
}

}  // namespace

INT_PTR CALLBACK ProgressWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      // Created hidden; visible by the time the creating call returns.
      ShowWindow(window, SW_SHOW);
      return TRUE;
    case WM_COMMAND:
      if (wparam == kRefreshRequest) {
        RefreshText(window);
      } else {
        CancelAndClose(window, false);
      }
      return TRUE;
    case WM_CLOSE:
      CancelAndClose(window, false);
      return TRUE;
    case WM_DESTROY:
      CancelAndClose(window, true);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace kelditra
