#include "app/dialog_framework.h"

#include <commdlg.h>

namespace kelditra {

HWND gMainDialog = nullptr;

namespace {

bool gModalRunning = false;
int gModalResult = 0;
int gQuitCode = 0;

bool IsKeyboardOrMouse(UINT message) {
  return (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
         (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST);
}

// The main dialog, one of its controls, or a window it owns.
bool BelongsToMainDialog(HWND window) {
  for (HWND w = window; w != nullptr; w = GetParent(w)) {
    if (w == gMainDialog) return true;
  }
  return false;
}

}  // namespace

const std::string& AppName() {
  static const std::string name = [] {
    // Split in UTF-16: in code page 932 a backslash byte can be the second
    // half of a character of the file's own name.
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring file(path, length < MAX_PATH ? length : 0);
    const size_t slash = file.find_last_of(L"\\/:");
    if (slash != std::wstring::npos) file.erase(0, slash + 1);
    const size_t dot = file.rfind(L'.');
    if (dot != std::wstring::npos) file.erase(dot);
    char narrow[MAX_PATH * 2] = {};
    const int bytes = WideCharToMultiByte(CP_ACP, 0, file.c_str(), static_cast<int>(file.size()),
                                          narrow, sizeof narrow, nullptr, nullptr);
    return std::string(narrow, bytes > 0 ? bytes : 0);
  }();
  return name;
}

int ShowOwnedMessageBox(HWND owner, const std::string& text, UINT style) {
  return MessageBoxA(owner, text.c_str(), AppName().c_str(), style);
}

bool PreTranslateDialogMessage(MSG* message) {
  if (gMainDialog == nullptr || !BelongsToMainDialog(message->hwnd)) return false;
  // Enter and Escape go to the focused control as plain keystrokes: the dialog
  // manager would turn them into IDOK and IDCANCEL and end the dialog.
  if (message->message == WM_KEYDOWN &&
      (message->wParam == VK_RETURN || message->wParam == VK_ESCAPE)) {
    return false;
  }
  if (!IsKeyboardOrMouse(message->message)) return false;
  // Tab, arrows and mnemonics; it declines messages of windows the dialog only
  // owns, such as the progress window.
  return IsDialogMessageA(gMainDialog, message) != 0;
}

bool PumpOneMessage() {
  MSG message;
  if (GetMessageA(&message, nullptr, 0, 0) <= 0) {
    gQuitCode = static_cast<int>(message.wParam);
    return false;
  }
  if (!PreTranslateDialogMessage(&message)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return true;
}

int RunModalLoop(HWND dialog) {
  gModalRunning = true;
  gModalResult = -1;
  // A conversion runs inside one dispatch and pumps on its own; the loop sees
  // an end asked for during it only once the conversion has returned.
  while (gModalRunning && IsWindow(dialog)) {
    if (!PumpOneMessage()) {
      PostQuitMessage(gQuitCode);
      gModalRunning = false;
      return -1;
    }
  }
  gModalRunning = false;
  return gModalResult;
}

void EndModalDialog(HWND dialog, int result) {
  gModalResult = result;
  gModalRunning = false;
  // Hides the window at once, even while a conversion still finishes under it.
  EndDialog(dialog, result);
}

int QuitCode() { return gQuitCode; }

void CenterInWorkArea(HWND dialog) {
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof monitor;
  if (!GetMonitorInfoA(MonitorFromWindow(dialog, MONITOR_DEFAULTTOPRIMARY), &monitor)) return;
  const RECT area = monitor.rcWork;
  RECT window;
  GetWindowRect(dialog, &window);
  const int width = window.right - window.left;
  const int height = window.bottom - window.top;
  int left = (area.left + area.right) / 2 - width / 2;
  int top = (area.top + area.bottom) / 2 - height / 2;
  if (left + width > area.right) left = area.right - width;
  if (left < area.left) left = area.left;
  if (top + height > area.bottom) top = area.bottom - height;
  if (top < area.top) top = area.top;
  SetWindowPos(dialog, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool ChooseFileToOpen(HWND owner, const wchar_t* filter, const wchar_t* default_extension,
                      DWORD flags, std::wstring* path) {
  wchar_t file[MAX_PATH] = {};
  OPENFILENAMEW dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filter;
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = file;
  dialog.nMaxFile = MAX_PATH;
  dialog.lpstrDefExt = default_extension;
  dialog.Flags = flags;
  if (!GetOpenFileNameW(&dialog)) return false;
  *path = file;
  return true;
}

}  // namespace kelditra
