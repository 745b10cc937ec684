#include "window_probe.h"

#include <algorithm>
#include <cstdint>
#include <set>

namespace kelditra {

namespace {

constexpr DWORD kPollMs = 5;
// For the program to start, and for the next progress text.
constexpr DWORD kLongWaitMs = 60000;

std::string Convert(const std::string& text, UINT from, UINT to) {
  wchar_t wide[2048];
  const int count =
      MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), wide, 2048);
  char out[8192];
  const int bytes = WideCharToMultiByte(to, 0, wide, count, out, sizeof out, nullptr, nullptr);
  return std::string(out, bytes > 0 ? bytes : 0);
}

// A visible dialog owned by owner (none: unowned) that accept takes.
HWND FindTopLevel(HWND owner, const std::function<bool(HWND)>& accept) {
  for (HWND w = FindWindowExA(nullptr, nullptr, WC_DIALOG, nullptr); w != nullptr;
       w = FindWindowExA(nullptr, w, WC_DIALOG, nullptr)) {
    if (IsWindowVisible(w) && GetWindow(w, GW_OWNER) == owner && accept(w)) return w;
  }
  return nullptr;
}

}  // namespace

std::string Sjis(const std::string& utf8) { return Convert(utf8, CP_UTF8, 932); }
std::string Show(const std::string& sjis) { return Convert(sjis, 932, CP_UTF8); }

bool WaitUntil(const std::function<bool()>& condition, DWORD timeout_ms) {
  const ULONGLONG end = GetTickCount64() + timeout_ms;
  for (;;) {
    if (condition()) return true;
    if (GetTickCount64() >= end) return false;
    Sleep(kPollMs);
  }
}

HWND WaitForWindow(const std::function<HWND()>& find, DWORD timeout_ms) {
  HWND found = nullptr;
  WaitUntil([&] { return (found = find()) != nullptr; }, timeout_ms);
  return found;
}

bool StartApp(const std::string& exe, const std::string& folder, RunningApp* app) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  std::string command = "\"" + exe + "\"";
  if (!CreateProcessA(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      folder.c_str(), &startup, &app->process)) {
    return false;
  }
  const auto is_its_dialog = [app](HWND w) {
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    return pid == app->process.dwProcessId && Caption(w) == "Kelditra";
  };
  app->dialog = WaitForWindow([&] { return FindTopLevel(nullptr, is_its_dialog); },
                              kLongWaitMs);
  return app->dialog != nullptr;
}

bool HasExited(const RunningApp& app, DWORD wait_ms) {
  return WaitForSingleObject(app.process.hProcess, wait_ms) == WAIT_OBJECT_0;
}

void StopApp(RunningApp* app) {
  if (app->process.hProcess == nullptr) return;
  if (!HasExited(*app, 0)) TerminateProcess(app->process.hProcess, 1);
  HasExited(*app, 5000);
  CloseHandle(app->process.hThread);
  CloseHandle(app->process.hProcess);
  app->process = {};
  app->dialog = nullptr;
}

RunningApp::~RunningApp() { StopApp(this); }

std::string WindowText(HWND window) {
  // The program answers only between two frames while a job runs.
  char buffer[4096] = {};
  DWORD_PTR count = 0;
  const LPARAM into = reinterpret_cast<LPARAM>(buffer);
  const bool answered =
      SendMessageTimeoutA(window, WM_GETTEXT, sizeof buffer, into, SMTO_NORMAL, 10000, &count);
  return answered ? std::string(buffer, count) : "";
}

std::string Caption(HWND window) {
  char buffer[1024] = {};
  return std::string(buffer, std::max(GetWindowTextA(window, buffer, sizeof buffer), 0));
}

std::string ClassOf(HWND window) {
  char buffer[256] = {};
  return std::string(buffer, std::max(GetClassNameA(window, buffer, sizeof buffer), 0));
}

std::vector<HWND> ChildrenInOrder(HWND parent) {
  std::vector<HWND> children;
  for (HWND w = GetWindow(parent, GW_CHILD); w != nullptr; w = GetWindow(w, GW_HWNDNEXT)) {
    children.push_back(w);
  }
  return children;
}

HWND ProgressWindowOf(HWND dialog) {
  return FindTopLevel(dialog, [](HWND w) { return Caption(w) == "Dialog"; });
}

HWND MessageBoxOf(HWND dialog) {
  return FindTopLevel(dialog, [](HWND w) { return GetDlgItem(w, kMessageBoxTextId) != nullptr; });
}

HWND FileDialogOf(HWND dialog) {
  // Owned by the main dialog, or by the progress window while a job runs.
  const auto has_name_field = [](HWND w) { return GetDlgItem(w, kFileNameField) != nullptr; };
  HWND found = FindTopLevel(dialog, has_name_field);
  HWND progress = ProgressWindowOf(dialog);
  if (found == nullptr && progress != nullptr) found = FindTopLevel(progress, has_name_field);
  return found;
}

std::string ProgressTextOf(HWND progress) { return WindowText(GetWindow(progress, GW_CHILD)); }

std::string NextProgressText(HWND progress, const std::string& previous) {
  std::string text;
  WaitUntil(
      [&] {
        if (!IsWindow(progress)) return true;
        text = ProgressTextOf(progress);
        return !text.empty() && text != previous;
      },
      kLongWaitMs);
  return IsWindow(progress) && text != previous ? text : "";
}

std::string WaitForTicks(HWND progress, int count) {
  std::string text = ProgressTextOf(progress);
  for (int tick = 0; tick < count; ++tick) {
    text = NextProgressText(progress, text);
    if (text.empty()) break;
  }
  return text;
}

bool DismissMessageBox(HWND box) {
  PostClick(GetDlgItem(box, IDOK));
  return WaitUntil([box] { return !IsWindow(box); }, 10000);
}

bool ScreenShows(const RECT& area, const std::vector<COLORREF>& colours) {
  const int width = area.right - area.left;
  const int height = area.bottom - area.top;
  if (width <= 0 || height <= 0) return false;
  BITMAPINFO info = {{sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
  GdiFlush();
  std::set<COLORREF> missing(colours.begin(), colours.end());
  const auto* pixels = static_cast<const uint8_t*>(bits);  // blue, green, red, unused
  for (int i = 0; i < width * height; ++i) {
    missing.erase(RGB(pixels[4 * i + 2], pixels[4 * i + 1], pixels[4 * i]));
  }
  DeleteDC(memory);
  DeleteObject(bitmap);
  ReleaseDC(nullptr, screen);
  return missing.empty();
}

HWND FocusOf(HWND window) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  const DWORD thread = GetWindowThreadProcessId(window, nullptr);
  return GetGUIThreadInfo(thread, &info) ? info.hwndFocus : nullptr;
}

void PostClick(HWND button) { PostMessageA(button, BM_CLICK, 0, 0); }

void PostKey(HWND window, UINT virtual_key) {
  const UINT scan = MapVirtualKeyA(virtual_key, MAPVK_VK_TO_VSC);
  PostMessageA(window, WM_KEYDOWN, virtual_key, 1 | (scan << 16));
  PostMessageA(window, WM_KEYUP, virtual_key, 1 | (scan << 16) | (3u << 30));
}

void SetText(HWND window, const std::string& text) {
  SendMessageA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void SetWideText(HWND window, const std::wstring& text) {
  SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::wstring WideWindowText(HWND window) {
  wchar_t buffer[4096] = {};
  DWORD_PTR count = 0;
  const LPARAM into = reinterpret_cast<LPARAM>(buffer);
  const bool answered =
      SendMessageTimeoutW(window, WM_GETTEXT, std::size(buffer), into, SMTO_NORMAL, 10000, &count);
  return answered ? std::wstring(buffer, count) : L"";
}

}  // namespace kelditra
