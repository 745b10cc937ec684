#include "app/converter_dialog.h"

#include <commdlg.h>

#include <cstdlib>
#include <cstring>

#include "app/dialog_framework.h"
#include "io/wide_text_win32.h"
#include "job/conversion_job.h"
#include "job/shared_state.h"
#include "progress/progress_window.h"
#include "resources/outcome_messages.h"
#include "resources/resource_ids.h"

namespace kelditra {

namespace {

// "WAVE File  （ *.wav ）" / "*.wav", already in the NUL-separated form the
// open-file dialog reads; the parentheses are full-width.
constexpr wchar_t kWaveFilter[] = L"WAVE File  \xFF08 *.wav \xFF09\0*.wav\0";

// The voice table is looked up in the current directory, so browsing must
// leave it where the program started.
constexpr DWORD kBrowseFlags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_EXPLORER | OFN_NOCHANGEDIR;

// Taken while the program starts, before any window exists.
const ULONGLONG kProcessStartTick = GetTickCount64();

// Shared by the exit button, close and destroy while a job runs. The job
// itself stops at its next tick and reports "中止しました".
void StopRunningJob() {
  gCancelFlag = 1;
  if (gProgressWindow != nullptr) DestroyWindow(static_cast<HWND>(gProgressWindow));
  gProgressWindow = nullptr;
}

}  // namespace

CConverterDialog::CConverterDialog()
    : icon_(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME))) {}

int CConverterDialog::DoModal() {
  HWND window = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_CONVERTER_DIALOG),
                                   nullptr, DialogProc, reinterpret_cast<LPARAM>(this));
  if (window == nullptr) return -1;
  const int result = RunModalLoop(window);
  if (IsWindow(window)) DestroyWindow(window);
  gMainDialog = nullptr;
  window_ = nullptr;
  return result;
}

INT_PTR CALLBACK CConverterDialog::DialogProc(HWND window, UINT message, WPARAM wparam,
                                              LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrA(window, DWLP_USER, lparam);
    reinterpret_cast<CConverterDialog*>(lparam)->window_ = window;
  }
  auto* dialog = reinterpret_cast<CConverterDialog*>(GetWindowLongPtrA(window, DWLP_USER));
  return dialog == nullptr ? FALSE : dialog->HandleMessage(message, wparam, lparam);
}

INT_PTR CConverterDialog::HandleMessage(UINT message, WPARAM wparam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog();
      return TRUE;  // focus to the first tab stop, the path field
    case WM_PAINT:
      return OnPaint() ? TRUE : FALSE;
    case WM_QUERYDRAGICON:
      return reinterpret_cast<INT_PTR>(icon_);
    case WM_COMMAND:
      if (HIWORD(wparam) != BN_CLICKED) return FALSE;
      switch (LOWORD(wparam)) {
        case IDC_BROWSE:
          OnBrowse();
          return TRUE;
        case IDC_CONVERT:
          OnConvert();
          return TRUE;
        case IDC_EXIT:
          OnExit();
          return TRUE;
        case IDOK:
        case IDCANCEL:
          EndModalDialog(window_, LOWORD(wparam));
          return TRUE;
        default:
          return FALSE;
      }
    case WM_CLOSE:
      OnClose();
      return FALSE;  // the default handling turns it into IDCANCEL
    case WM_DESTROY:
      OnDestroy();
      return FALSE;
    default:
      return FALSE;
  }
}

void CConverterDialog::OnInitDialog() {
  gMainDialog = window_;
  path_field_ = GetDlgItem(window_, IDC_PATH);
  SendMessageA(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
  SendMessageA(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
  // The template sits at (0, 0) with no centring style and the dialog has no
  // owner: it would open in the screen's corner.
  CenterInWorkArea(window_);
}

bool CConverterDialog::OnPaint() {
  if (!IsIconic(window_)) return false;
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window_, &paint);
  SendMessageA(window_, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  RECT client;
  GetClientRect(window_, &client);
  const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
  const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
  DrawIcon(dc, x, y, icon_);
  EndPaint(window_, &paint);
  return true;
}

void CConverterDialog::OnBrowse() {
  // Owned by whatever is active over the dialog, the progress window during a
  // job; either way the job waits until the file dialog closes.
  std::wstring path;
  if (ChooseFileToOpen(GetLastActivePopup(window_), kWaveFilter, L"wav", kBrowseFlags, &path)) {
    SetWindowTextW(path_field_, path.c_str());
  }
}

// The dialog has no options. KELDITRA_REFERENCE=1 gives it the command
// line's --reference, the plain search, as KELDITRA_SIMD gives it --simd:
// for checking the two against each other, and for a job slow on purpose.
void CConverterDialog::OnConvert() {
  JobSettings settings;
  const char* reference = std::getenv("KELDITRA_REFERENCE");
  settings.search.reference_search = reference != nullptr && std::strcmp(reference, "1") == 0;
  RunConversionJob(*this, settings);
}

void CConverterDialog::OnExit() {
  if (gBusyFlag == 1) {
    StopRunningJob();
    return;
  }
  EndModalDialog(window_, IDOK);
}

void CConverterDialog::OnClose() {
  if (gBusyFlag == 1) StopRunningJob();
}

void CConverterDialog::OnDestroy() {
  if (gBusyFlag == 1) StopRunningJob();
}

bool CConverterDialog::HasPerformanceCounter() {
  LARGE_INTEGER frequency;
  return QueryPerformanceFrequency(&frequency) != 0;
}

// As UTF-16, the field's own text: through code page 932 a character it lacks
// would come back as a look-alike ("řeč.wav" as "rec.wav") and the job would
// convert a file the user never named.
std::string CConverterDialog::PathFieldText() {
  const int length = GetWindowTextLengthW(path_field_);
  std::wstring text(length + 1, L'\0');
  const int copied = GetWindowTextW(path_field_, text.data(), length + 1);
  text.resize(copied > 0 ? copied : 0);
  return NarrowToUtf8(text);
}

void CConverterDialog::ShowOutcome(const Failure& outcome) {
  const OutcomeMessage message = DialogMessage(outcome);
  ShowOwnedMessageBox(window_, Utf8ToShiftJis(message.text), static_cast<UINT>(message.style));
}

WindowHandle CConverterDialog::CreateProgressWindow() {
  return CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_PROGRESS), window_,
                            ProgressWindowProc, 0);
}

void CConverterDialog::RefreshProgressWindow(WindowHandle window) {
  SendMessageA(static_cast<HWND>(window), WM_COMMAND, 1, 0);
}

void CConverterDialog::DestroyProgressWindow(WindowHandle window) {
  DestroyWindow(static_cast<HWND>(window));
}

int64_t CConverterDialog::ProcessClockMs() {
  return static_cast<int64_t>(GetTickCount64() - kProcessStartTick);
}

bool CConverterDialog::HasPendingMessage() {
  MSG message;
  return PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE) != 0;
}

bool CConverterDialog::PumpOneMessage() { return kelditra::PumpOneMessage(); }

void CConverterDialog::PostQuit() { PostQuitMessage(0); }

}  // namespace kelditra
