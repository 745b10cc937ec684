#pragma once

// The little of a dialog framework this program needs, in plain Win32: the
// application's name, message boxes captioned with it, the modal loop of the
// main dialog, the one-message pump with the main dialog's key filter, and the
// open-file dialog.

#include <windows.h>

#include <string>

namespace kelditra {

// The dialog whose pre-translation every queued message passes; set while it
// exists.
extern HWND gMainDialog;

// The executable's file name without its extension: the caption of every box.
const std::string& AppName();

// A message box owned by owner, captioned with AppName(); returns the button.
int ShowOwnedMessageBox(HWND owner, const std::string& text, UINT style);

// The main dialog's pre-translation; true when the message was handled and
// must not be dispatched.
bool PreTranslateDialogMessage(MSG* message);

// Takes one message (waiting for it), pre-translates, translates and
// dispatches it; false when it was the quit message.
bool PumpOneMessage();

// Runs dialog's modal loop until EndModalDialog; returns the result given to
// it, or -1 when the quit message ended the loop (it is posted again).
int RunModalLoop(HWND dialog);
void EndModalDialog(HWND dialog, int result);

// The code WM_QUIT carried, if one was seen.
int QuitCode();

// Puts dialog in the middle of the work area of its monitor, kept inside it.
void CenterInWorkArea(HWND dialog);

// The common open-file dialog, in UTF-16 so that the chosen name comes back
// as it is. filter is in its NUL-separated form; path gets the chosen file's
// full path. false when the user cancelled or it failed.
bool ChooseFileToOpen(HWND owner, const wchar_t* filter, const wchar_t* default_extension,
                      DWORD flags, std::wstring* path);

}  // namespace kelditra
