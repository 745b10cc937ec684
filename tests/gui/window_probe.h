#pragma once

// What the driver does to the program under test, through the window system
// only, as a user would: find its windows, type, click, read boxes back.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Shift-JIS (the program's code page) and UTF-16 forms of the driver's UTF-8
// literals, converted by the system rather than by the program's own tables.
std::string Sjis(const char* utf8);
std::wstring Wide(const char* utf8);
// Shift-JIS back to UTF-8, for the driver's own report.
std::string Show(const std::string& sjis);

// The program's controls: the main dialog's, and the progress window's button.
constexpr int kPath = 1000;
constexpr int kBrowse = 1001;
constexpr int kConvert = 1002;
constexpr int kExit = 1003;
constexpr int kCancel = 1001;

struct RunningApp {
  PROCESS_INFORMATION process = {};
  HWND dialog = nullptr;
};

// Starts exe with folder as its current directory and waits for its main
// dialog; false when it did not show.
bool StartApp(const std::string& exe, const std::string& folder, RunningApp* app);
bool HasExited(const RunningApp& app, DWORD wait_ms);
DWORD ExitCodeOf(const RunningApp& app);
// Ends the process if it still runs, and lets go of it.
void StopApp(RunningApp* app);

// Polls every few milliseconds until condition holds; false on time-out.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeout_ms);
HWND WaitForWindow(const std::function<HWND()>& find, DWORD timeout_ms);

// A control's text, asked of the control itself (WM_GETTEXT).
std::string WindowText(HWND window);
// A top-level window's caption, as the system keeps it; never waits.
std::string Caption(HWND window);
std::string ClassOf(HWND window);
std::vector<HWND> ChildrenInOrder(HWND parent);
HWND ChildWithId(HWND parent, int id);

// The progress window: captioned "Dialog".
HWND ProgressWindowOf(HWND dialog);
// A message box owned by dialog (its text is the static with id 0xFFFF).
HWND MessageBoxOf(HWND dialog);
// The open-file dialog: an owned dialog with a file-name field.
HWND FileDialogOf(HWND dialog);

struct SeenBox {
  std::string caption;
  std::string text;
  bool has_icon = false;
  int buttons = 0;
};
SeenBox ReadMessageBox(HWND box);
// Presses OK and waits for the box to go.
bool DismissMessageBox(HWND box);

// How many pixels of area on the screen have exactly colour.
int CountScreenPixels(const RECT& area, COLORREF colour);

// The focused window of the thread that owns window.
HWND FocusOf(HWND window);

// Input goes through the program's message queue, and so through its own
// pre-translation, like real input.
void PostClick(HWND button);
void PostKey(HWND window, UINT virtual_key);
void SetText(HWND window, const std::string& text);
