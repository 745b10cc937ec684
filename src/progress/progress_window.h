#pragma once

#include <windows.h>

namespace kelditra {

// The modeless progress window's dialog procedure (template 129). It has no
// object of its own: it reads gProgressPercent on the refresh request
// (WM_COMMAND, wParam 1) and, on anything that takes it down, raises
// gCancelFlag and clears gProgressWindow.
INT_PTR CALLBACK ProgressWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

}  // namespace kelditra
