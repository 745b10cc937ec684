#pragma once

// What the driver does to the program under test, through the window system
// only, as a user would: find its windows, type, click, read boxes back.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace kelditra {

// UTF-8 to Shift-JIS (the program's code page) and back, converted by the
// system rather than by the program's own tables.
std::string Sjis(const std::string& utf8);
std::string Show(const std::string& sjis);

// Control ids: the main dialog's, the progress window's button, a message
// box's text and the open-file dialog's file-name field.
constexpr int kPath = 1000;
constexpr int kBrowse = 1001;
constexpr int kConvert = 1002;
constexpr int kExit = 1003;
constexpr int kCancel = 1001;
constexpr int kMessageBoxTextId = 0xFFFF;
constexpr int kFileNameField = 0x47C;

struct RunningApp {
  PROCESS_INFORMATION process = {};
  HWND dialog = nullptr;
  ~RunningApp();  // StopApp
};
// Starts exe in folder and waits for its main dialog; false when none showed.
bool StartApp(const std::string& exe, const std::string& folder, RunningApp* app);
bool HasExited(const RunningApp& app, DWORD wait_ms);
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

// The progress window (captioned "Dialog"), a message box, and the open-file
// dialog, each owned by dialog.
HWND ProgressWindowOf(HWND dialog);
HWND MessageBoxOf(HWND dialog);
HWND FileDialogOf(HWND dialog);

std::string ProgressTextOf(HWND progress);
// The next text other than previous, or the last of count more; empty when the
// window went away or nothing changed in time.
std::string NextProgressText(HWND progress, const std::string& previous);
std::string WaitForTicks(HWND progress, int count);
// Presses OK and waits for the box to go.
bool DismissMessageBox(HWND box);
// Whether each of colours is somewhere in area of the screen.
bool ScreenShows(const RECT& area, const std::vector<COLORREF>& colours);
// The focused window of the thread that owns window.
HWND FocusOf(HWND window);

// Input goes through the program's message queue, and so through its own
// pre-translation, like real input.
void PostClick(HWND button);
void PostKey(HWND window, UINT virtual_key);
void SetText(HWND window, const std::string& text);
// The same in UTF-16, for names that code page 932 cannot hold.
void SetWideText(HWND window, const std::wstring& text);
std::wstring WideWindowText(HWND window);

}  // namespace kelditra
