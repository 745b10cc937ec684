#include "window_probe.h"

#include <cstdint>

namespace {

constexpr DWORD kPollMs = 5;
constexpr DWORD kStartTimeoutMs = 60000;
constexpr int kMessageBoxTextId = 0xFFFF;
// The file-name field of the open-file dialog: its combo box, or the plain
// edit of older templates.
constexpr int kFileNameComboId = 0x47C;
constexpr int kFileNameEditId = 0x480;

struct Search {
  HWND owner;
  const char* caption;
  std::function<bool(HWND)> accept;
  HWND found;
};

BOOL CALLBACK VisitTopLevel(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<Search*>(data);
  if (!IsWindowVisible(window) || ClassOf(window) != "#32770") return TRUE;
  if (search->owner != nullptr && GetWindow(window, GW_OWNER) != search->owner) return TRUE;
  if (search->caption != nullptr && Caption(window) != search->caption) return TRUE;
  if (search->accept && !search->accept(window)) return TRUE;
  search->found = window;
  return FALSE;
}

HWND FindTopLevel(HWND owner, const char* caption, const std::function<bool(HWND)>& accept) {
  Search search{owner, caption, accept, nullptr};
  EnumWindows(VisitTopLevel, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

}  // namespace

std::wstring Wide(const char* utf8) {
  wchar_t buffer[1024] = {};
  const int count = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, buffer, 1024);
  return std::wstring(buffer, count > 0 ? count - 1 : 0);
}

std::string Sjis(const char* utf8) {
  const std::wstring wide = Wide(utf8);
  char buffer[2048] = {};
  const int count = WideCharToMultiByte(932, 0, wide.c_str(), static_cast<int>(wide.size()),
                                        buffer, sizeof buffer, nullptr, nullptr);
  return std::string(buffer, count > 0 ? count : 0);
}

std::string Show(const std::string& sjis) {
  wchar_t wide[2048] = {};
  const int count =
      MultiByteToWideChar(932, 0, sjis.data(), static_cast<int>(sjis.size()), wide, 2048);
  char utf8[8192] = {};
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide, count, utf8, sizeof utf8, nullptr, nullptr);
  return std::string(utf8, bytes > 0 ? bytes : 0);
}

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
  const DWORD pid = app->process.dwProcessId;
  app->dialog = WaitForWindow(
      [pid] {
        return FindTopLevel(nullptr, "Kelditra", [pid](HWND w) {
          DWORD owner_pid = 0;
          GetWindowThreadProcessId(w, &owner_pid);
          return owner_pid == pid && GetWindow(w, GW_OWNER) == nullptr;
        });
      },
      kStartTimeoutMs);
  return app->dialog != nullptr;
}

bool HasExited(const RunningApp& app, DWORD wait_ms) {
  return WaitForSingleObject(app.process.hProcess, wait_ms) == WAIT_OBJECT_0;
}

DWORD ExitCodeOf(const RunningApp& app) {
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(app.process.hProcess, &code);
  return code;
}

void StopApp(RunningApp* app) {
  if (app->process.hProcess == nullptr) return;
  if (!HasExited(*app, 0)) {
    TerminateProcess(app->process.hProcess, 1);
    HasExited(*app, 5000);
  }
  CloseHandle(app->process.hThread);
  CloseHandle(app->process.hProcess);
  *app = RunningApp{};
}

std::string WindowText(HWND window) {
  // The program answers only between two frames while a job runs.
  char buffer[4096] = {};
  DWORD_PTR count = 0;
  if (!SendMessageTimeoutA(window, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer),
                           SMTO_NORMAL, 10000, &count)) {
    return "";
  }
  return std::string(buffer, count);
}

std::string Caption(HWND window) {
  char buffer[1024] = {};
  const int count = GetWindowTextA(window, buffer, sizeof buffer);
  return std::string(buffer, count > 0 ? count : 0);
}

std::string ClassOf(HWND window) {
  char buffer[256] = {};
  const int count = GetClassNameA(window, buffer, sizeof buffer);
  return std::string(buffer, count > 0 ? count : 0);
}

std::vector<HWND> ChildrenInOrder(HWND parent) {
  std::vector<HWND> children;
  for (HWND w = GetWindow(parent, GW_CHILD); w != nullptr; w = GetWindow(w, GW_HWNDNEXT)) {
    children.push_back(w);
  }
  return children;
}

HWND ChildWithId(HWND parent, int id) {
  for (HWND child : ChildrenInOrder(parent)) {
    if (static_cast<int>(GetWindowLongPtrA(child, GWLP_ID)) == id) return child;
  }
  return nullptr;
}

HWND ProgressWindowOf(HWND dialog) { return FindTopLevel(dialog, "Dialog", {}); }

HWND MessageBoxOf(HWND dialog) {
  return FindTopLevel(dialog, nullptr,
                      [](HWND w) { return ChildWithId(w, kMessageBoxTextId) != nullptr; });
}

HWND FileDialogOf(HWND dialog) {
  // Owned by the main dialog, or by the progress window while a job runs.
  auto has_name_field = [](HWND w) {
    return ChildWithId(w, kFileNameComboId) != nullptr || ChildWithId(w, kFileNameEditId) != nullptr;
  };
  HWND found = FindTopLevel(dialog, nullptr, has_name_field);
  if (found == nullptr) {
    HWND progress = ProgressWindowOf(dialog);
    if (progress != nullptr) found = FindTopLevel(progress, nullptr, has_name_field);
  }
  return found;
}

SeenBox ReadMessageBox(HWND box) {
  SeenBox seen;
  seen.caption = Caption(box);
  seen.text = WindowText(ChildWithId(box, kMessageBoxTextId));
  for (HWND child : ChildrenInOrder(box)) {
    if (!IsWindowVisible(child)) continue;
    const std::string kind = ClassOf(child);
    const LONG style = GetWindowLongA(child, GWL_STYLE);
    if (kind == "Button") ++seen.buttons;
    if (kind == "Static" && (style & SS_TYPEMASK) == SS_ICON &&
        SendMessageA(child, STM_GETICON, 0, 0) != 0) {
      seen.has_icon = true;
    }
  }
  return seen;
}

bool DismissMessageBox(HWND box) {
  PostClick(ChildWithId(box, IDOK));
  return WaitUntil([box] { return !IsWindow(box); }, 10000);
}

int CountScreenPixels(const RECT& area, COLORREF colour) {
  const int width = area.right - area.left;
  const int height = area.bottom - area.top;
  if (width <= 0 || height <= 0) return 0;
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
  GdiFlush();
  int count = 0;
  const auto* pixels = static_cast<const uint32_t*>(bits);
  const uint32_t want = (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
  for (int i = 0; i < width * height; ++i) count += (pixels[i] & 0xFFFFFF) == want;
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return count;
}

HWND FocusOf(HWND window) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
  return info.hwndFocus;
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
