// Drives the real Kelditra.exe through the window system, as a user would.
//   kelditra_gui_tests KELDITRA.EXE FOLDER [WORD]  the cases whose name holds WORD
//   kelditra_gui_tests --fixtures FOLDER           writes the input files
//   kelditra_gui_tests --pose KELDITRA.EXE FOLDER  poses for scripts/screenshot.sh
// FOLDER is the program's current directory. The script adds the command
// line's output for tone.wav, tone.reference.bin, and generated.ico, a fresh
// icon from tools/make_icon.cpp.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "fixture_files.h"
#include "gui_fixtures.h"
#include "resource_check.h"
#include "screenshot_pose.h"
#include "window_probe.h"

namespace kelditra {

namespace {

constexpr DWORD kShortWaitMs = 10000;
// Loading and checking the inputs, up to the first failure; a file dialog.
constexpr DWORD kRefusalWaitMs = 20000;
// A whole 2-second conversion, even with the plain reference search.
constexpr DWORD kConversionWaitMs = 180000;

std::string gExe;
std::string gFolder;
std::vector<std::string> gFailures;
// Put before each failure: the row of a table being checked.
std::string gRow;

bool Expect(bool ok, const std::string& what) {
  if (!ok) gFailures.push_back(gRow + what);
  return ok;
}

HWND Control(const RunningApp& app, int id) { return GetDlgItem(app.dialog, id); }

bool Launch(RunningApp* app, const std::string& folder = gFolder) {
  return Expect(StartApp(gExe, folder, app), "the main dialog did not appear");
}

// "進行率 " and the percentage below 100 with exactly three decimals.
bool IsProgressText(const std::string& text) {
  const std::string prefix = Sjis("進行率 ");
  return text.compare(0, prefix.size(), prefix) == 0 &&
         std::regex_match(text.substr(prefix.size()), std::regex(R"([1-9]?[0-9]\.[0-9]{3}%)"));
}

// Types path, presses 変換 and waits for the progress window's first text.
HWND StartJob(const RunningApp& app, const std::string& path) {
  SetText(Control(app, kPath), path);
  PostClick(Control(app, kConvert));
  HWND progress = WaitForWindow([&] { return ProgressWindowOf(app.dialog); }, kConversionWaitMs);
  if (!Expect(progress != nullptr, "no progress window for " + path)) return nullptr;
  const std::string first = NextProgressText(progress, "");
  Expect(IsProgressText(first), "progress text \"" + Show(first) + "\"");
  return progress;
}

// For the cases that act on a running job: the plain search takes tens of
// milliseconds a frame or more on any machine, so noise.wav's 3,600 frames
// run for minutes and every click lands while the job runs.
HWND LaunchIntoJob(RunningApp* app) {
  SetEnvironmentVariableA("KELDITRA_REFERENCE", "1");
  const bool started = Launch(app);
  SetEnvironmentVariableA("KELDITRA_REFERENCE", nullptr);
  return started ? StartJob(*app, "noise.wav") : nullptr;
}

// Waits for the one message box a job ends with, checks it and presses OK.
void ExpectBox(const RunningApp& app, const std::string& utf8, bool with_icon = false,
               DWORD timeout_ms = kShortWaitMs) {
  HWND box = WaitForWindow([&] { return MessageBoxOf(app.dialog); }, timeout_ms);
  if (!Expect(box != nullptr, "no message box; wanted \"" + utf8 + "\"")) return;
  const std::string text = WindowText(GetDlgItem(box, kMessageBoxTextId));
  Expect(Caption(box) == "Kelditra", "box caption \"" + Show(Caption(box)) + "\"");
  Expect(text == Sjis(utf8), "box text \"" + Show(text) + "\", want \"" + utf8 + "\"");
  bool has_icon = false;
  int buttons = 0;
  for (HWND child : ChildrenInOrder(box)) {
    if (!IsWindowVisible(child)) continue;
    buttons += ClassOf(child) == "Button";
    has_icon = has_icon || SendMessageA(child, STM_GETICON, 0, 0) != 0;  // icon statics only
  }
  Expect(has_icon == with_icon,
         with_icon ? "box without the exclamation icon" : "plain box shows an icon");
  Expect(buttons == 1, "box has " + std::to_string(buttons) + " buttons");
  Expect(DismissMessageBox(box), "box did not close on OK");
}

bool NoBoxFor(const RunningApp& app, DWORD ms) {
  return !WaitUntil([&] { return MessageBoxOf(app.dialog) != nullptr; }, ms);
}

bool Gone(HWND window) {
  return WaitUntil([window] { return !IsWindow(window); }, kShortWaitMs);
}

HWND OpenFileDialog(const RunningApp& app) {
  PostClick(Control(app, kBrowse));
  return WaitForWindow([&] { return FileDialogOf(app.dialog); }, kRefusalWaitMs);
}

void TemplatesAndIcon() { gFailures = CheckResources(gExe, gFolder + "\\generated.ico"); }

void MainDialog() {
  RunningApp app;
  if (!Launch(&app)) return;
  const LONG style = GetWindowLongA(app.dialog, GWL_STYLE);
  Expect((style & 0x90C800C0) == 0x90C800C0, "dialog styles missing");
  Expect((style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX)) == 0, "dialog has a minimise or maximise box");
  Expect((GetWindowLongA(app.dialog, GWL_EXSTYLE) & WS_EX_APPWINDOW) != 0,
         "dialog lacks WS_EX_APPWINDOW");
  Expect(GetWindow(app.dialog, GW_OWNER) == nullptr, "dialog has an owner");

  // Each control's id, class and text, in tab order.
  const char* const controls[] = {"-1 Static ＷＡＶＥファイル", "1000 Edit ", "1001 Button 参照",
                                  "1002 Button 変換", "1003 Button 終了"};
  const std::vector<HWND> children = ChildrenInOrder(app.dialog);
  Expect(children.size() == std::size(controls),
         "dialog has " + std::to_string(children.size()) + " controls");
  for (size_t i = 0; i < children.size() && i < std::size(controls); ++i) {
    const int id = static_cast<int>(GetWindowLongPtrA(children[i], GWLP_ID));
    const std::string seen =
        std::to_string(id) + " " + ClassOf(children[i]) + " " + WindowText(children[i]);
    Expect(seen == Sjis(controls[i]), "control " + Show(seen) + ", want " + controls[i]);
    Expect(ClassOf(children[i]) != "Button" ||
               (GetWindowLongA(children[i], GWL_STYLE) & BS_TYPEMASK) == BS_PUSHBUTTON,
           "control " + Show(seen) + " is a default button");
  }
  Expect(FocusOf(app.dialog) == Control(app, kPath),
         "the path field does not start with the focus");

  // The caption shows the window's small icon: its orange bars and its navy
  // ground, colours no default icon has.
  RECT frame, area;
  GetWindowRect(app.dialog, &frame);
  POINT client = {0, 0};
  ClientToScreen(app.dialog, &client);
  const RECT caption = {frame.left, frame.top, frame.right, client.y};
  const auto shows_icon = [&] {
    return ScreenShows(caption, {RGB(244, 150, 36), RGB(28, 44, 104)});
  };
  Expect(WaitUntil(shows_icon, kShortWaitMs), "the caption does not show the application icon");

  SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
  const int dx = (frame.left + frame.right) - (area.left + area.right);
  const int dy = (frame.top + frame.bottom) - (area.top + area.bottom);
  Expect(dx >= -2 && dx <= 2 && dy >= -2 && dy <= 2, "dialog not centred in the work area");
}

void DialogKeys() {
  RunningApp app;
  if (!Launch(&app)) return;
  HWND path = Control(app, kPath);
  SetText(path, "abc");
  // Without the key filter the dialog manager turns these into IDOK and
  // IDCANCEL, and either ends the program.
  PostKey(path, VK_RETURN);
  PostKey(path, VK_ESCAPE);
  // Tab is queued behind them: once the focus has moved, both were handled.
  PostKey(path, VK_TAB);
  Expect(WaitUntil([&] { return FocusOf(app.dialog) == Control(app, kBrowse); }, kShortWaitMs),
         "Tab did not move the focus to 参照");
  Expect(!HasExited(app, 300), "Enter or Escape ended the program");
  Expect(IsWindowVisible(app.dialog), "Enter or Escape hid the dialog");
  Expect(NoBoxFor(app, 300), "Enter started a conversion");
  Expect(WindowText(path) == "abc", "the path field changed");
}

void RefusalsAndLoadFailures() {
  const std::string not_found = "ファイルが見つかりません : file not found";
  const std::string not_wave = "WAVEファイルを指定して下さい";
  struct Row {
    const char* name;
    std::string folder;
    const char* path;
    std::string message;
  };
  const Row rows[] = {
      {"empty path", gFolder, "", not_wave},
      {"shorter than .wav", gFolder, "abc", not_wave},
      {"wrong extension", gFolder, "take1.txt", not_wave},
      {"a dot after .wav", gFolder, "take1.wav.", not_wave},
      {"no voice table here", gFolder + "\\sub", "tone.wav", "fm_table2.dat" + not_found},
      {"upper case, trailing blanks; no pitch track", gFolder, "missing.WAV \t ",
       "missing.dat" + not_found},
  };
  RunningApp app;
  std::string running_in;
  for (const Row& row : rows) {
    gRow = std::string(row.name) + ": ";
    if (row.folder != running_in) {
      StopApp(&app);
      if (!Launch(&app, row.folder)) return;
      running_in = row.folder;
    }
    SetText(Control(app, kPath), row.path);
    PostClick(Control(app, kConvert));
    // Only the refusals warn with an icon; a failed load is plain.
    ExpectBox(app, row.message, row.message == not_wave, kRefusalWaitMs);
  }
}

void FullConversion() {
  const std::string output = gFolder + "\\tone.bin";
  DeleteFileA(output.c_str());
  RunningApp app;
  if (!Launch(&app)) return;
  SetText(Control(app, kPath), gFolder + "\\tone.wav");
  PostClick(Control(app, kConvert));

  HWND progress = WaitForWindow([&] { return ProgressWindowOf(app.dialog); }, kConversionWaitMs);
  if (Expect(progress != nullptr, "no progress window")) {
    // A template at (0, 0) without centring: the system puts the window's
    // client area on the owner's.
    POINT placed = {0, 0}, origin = {0, 0};
    ClientToScreen(progress, &placed);
    ClientToScreen(app.dialog, &origin);
    Expect(placed.x == origin.x && placed.y == origin.y,
           "the progress window's client area is not on the dialog's");
    Expect((GetWindowLongA(progress, GWL_STYLE) & WS_VISIBLE) != 0, "progress window hidden");
    // Every text until the window goes: maybe none, as a fast search may end
    // before the first tick; the longer jobs below make sure one appears.
    std::string text;
    while (!(text = NextProgressText(progress, text)).empty()) {
      Expect(IsProgressText(text), "progress text \"" + Show(text) + "\"");
    }
  }
  Expect(progress == nullptr || !IsWindow(progress), "progress window still open at the end");
  ExpectBox(app, "終了しました", false, kConversionWaitMs);

  const std::vector<uint8_t> reference = ReadBytes(gFolder + "\\tone.reference.bin");
  const std::vector<uint8_t> written = ReadBytes(output);
  Expect(!reference.empty(), "no tone.reference.bin from the command line");
  Expect(written.size() == 120 * 16, "tone.bin holds " + std::to_string(written.size()) + " bytes");
  Expect(written == reference, "tone.bin differs from the command line's output");
}

void CancelFromProgressWindow() {
  const std::string output = gFolder + "\\noise.bin";
  const std::vector<uint8_t> kept(16, 0xAB);  // an earlier result
  const std::pair<const char*, void (*)(HWND progress)> ways[] = {
      {"キャンセル", [](HWND p) { PostClick(GetDlgItem(p, kCancel)); }},
      {"close box", [](HWND p) { PostMessageA(p, WM_SYSCOMMAND, SC_CLOSE, 0); }},
      {"Alt+F4", [](HWND p) {
         PostMessageA(GetDlgItem(p, kCancel), WM_SYSKEYDOWN, VK_F4,
                      1 | (MapVirtualKeyA(VK_F4, MAPVK_VK_TO_VSC) << 16) | (1u << 29));
       }},
  };
  RunningApp app;
  for (const auto& [name, cancel] : ways) {
    gRow = std::string(name) + ": ";
    WriteBytes(output, kept);
    HWND progress = app.dialog == nullptr ? LaunchIntoJob(&app) : StartJob(app, "noise.wav");
    if (progress == nullptr) return;
    cancel(progress);
    Expect(Gone(progress), "progress window stayed open");
    ExpectBox(app, "中止しました");
    Expect(ReadBytes(output) == kept, "noise.bin was touched");
  }
  gRow.clear();
  // Nothing of a stopped job lingers: the next one runs to its end.
  DeleteFileA((gFolder + "\\short.bin").c_str());
  SetText(Control(app, kPath), "short.wav");
  PostClick(Control(app, kConvert));
  ExpectBox(app, "終了しました", false, kConversionWaitMs);
  Expect(ReadBytes(gFolder + "\\short.bin").size() == 12 * 16,
         "the conversion after the cancels wrote no short.bin");
}

void InputDuringJob() {
  RunningApp app;
  HWND progress = LaunchIntoJob(&app);
  if (progress == nullptr) return;
  HWND cancel = GetDlgItem(progress, kCancel);
  // The progress window gets no dialog-manager keys: Escape would cancel and
  // Enter would be taken for the refresh request.
  PostKey(cancel, VK_RETURN);
  PostKey(cancel, VK_ESCAPE);
  PostKey(progress, VK_ESCAPE);
  PostClick(Control(app, kConvert));
  // Three more texts: at least two ticks have pumped since the input above.
  Expect(!WaitForTicks(progress, 3).empty() && IsWindow(progress),
         "Enter or Escape closed the progress window");
  Expect(ProgressWindowOf(app.dialog) == progress, "a second progress window appeared");
  Expect(MessageBoxOf(app.dialog) == nullptr, "a second 変換 showed a message");

  PostClick(cancel);
  ExpectBox(app, "中止しました");
  Expect(NoBoxFor(app, 1500), "a second job reported too");
}

void ExitButton() {
  RunningApp app;
  HWND progress = LaunchIntoJob(&app);
  if (progress == nullptr) return;
  PostClick(Control(app, kExit));
  Expect(Gone(progress), "終了 left the progress window open");
  ExpectBox(app, "中止しました");
  Expect(!HasExited(app, 500), "終了 during a job ended the program");
  Expect(IsWindowVisible(app.dialog), "終了 during a job hid the dialog");
  Expect(WindowText(Control(app, kPath)) == "noise.wav", "the path field changed");

  PostClick(Control(app, kExit));
  DWORD code = STILL_ACTIVE;
  Expect(HasExited(app, 10000), "終了 when idle did not end the program");
  GetExitCodeProcess(app.process.hProcess, &code);
  Expect(code == 0, "exit code " + std::to_string(code));
}

void CloseDuringJob() {
  RunningApp app;
  HWND progress = LaunchIntoJob(&app);
  if (progress == nullptr) return;
  PostMessageA(app.dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
  Expect(Gone(progress), "closing the dialog left the progress window open");
  ExpectBox(app, "中止しました");
  Expect(HasExited(app, 10000), "the program did not end after the job stopped");
}

void Browse() {
  RunningApp app;
  if (!Launch(&app)) return;
  HWND path = Control(app, kPath);
  SetText(path, "typed.wav");
  HWND chooser = OpenFileDialog(app);
  if (!Expect(chooser != nullptr, "no open-file dialog")) return;
  const std::string types = WindowText(GetDlgItem(chooser, 0x470));
  Expect(types == Sjis("WAVE File  （ *.wav ）"), "file type \"" + Show(types) + "\"");
  PostClick(GetDlgItem(chooser, IDCANCEL));
  Expect(Gone(chooser), "the open-file dialog did not close on cancel");
  Expect(WindowText(path) == "typed.wav", "cancelling changed the path field");

  // A file in another folder, typed without its extension.
  chooser = OpenFileDialog(app);
  if (!Expect(chooser != nullptr, "no open-file dialog the second time")) return;
  SetText(GetDlgItem(chooser, kFileNameField), gFolder + "\\sub\\tiny");
  PostClick(GetDlgItem(chooser, IDOK));
  Expect(Gone(chooser), "the open-file dialog did not close on open");
  Expect(WindowText(path) == gFolder + "\\sub\\tiny.wav",
         "path field \"" + Show(WindowText(path)) + "\"");

  // The voice table is still found: browsing left the current folder alone.
  PostClick(Control(app, kConvert));
  ExpectBox(app, "終了しました", false, kConversionWaitMs);
  const std::string tiny = gFolder + "\\sub\\tiny.bin";
  Expect(GetFileAttributesA(tiny.c_str()) != INVALID_FILE_ATTRIBUTES && ReadBytes(tiny).empty(),
         "no empty sub\\tiny.bin");
}

void BrowseDuringJob() {
  RunningApp app;
  HWND progress = LaunchIntoJob(&app);
  if (progress == nullptr) return;
  // How long three ticks take here, on this job: every tick shows a new text.
  const ULONGLONG before = GetTickCount64();
  WaitForTicks(progress, 3);
  const DWORD three_ticks_ms = static_cast<DWORD>(GetTickCount64() - before);
  // The file dialog's own loop runs inside the job's pumping: no tick until
  // it closes, though three would have come in the time held otherwise.
  HWND chooser = OpenFileDialog(app);
  if (!Expect(chooser != nullptr, "no open-file dialog during the job")) return;
  const std::string held = ProgressTextOf(progress);
  Sleep(three_ticks_ms);
  Expect(ProgressTextOf(progress) == held, "the job went on while the file dialog was open");
  PostClick(GetDlgItem(chooser, IDCANCEL));
  Expect(Gone(chooser), "the open-file dialog did not close on cancel");
  Expect(!NextProgressText(progress, held).empty(), "the job did not go on after the file dialog");
  Expect(WindowText(Control(app, kPath)) == "noise.wav", "cancelling changed the path field");

  PostClick(GetDlgItem(progress, kCancel));
  ExpectBox(app, "中止しました");
}

std::vector<uint8_t> ReadWide(const std::wstring& path) {
  std::vector<uint8_t> bytes;
  if (FILE* file = _wfopen(path.c_str(), L"rb")) {
    for (int c; (c = std::fgetc(file)) != EOF;) bytes.push_back(static_cast<uint8_t>(c));
    std::fclose(file);
  }
  return bytes;
}

// "řeč.wav" beside "rec.wav", a different recording: code page 932 lacks ř
// and č, and its look-alikes would turn the one name into the other. Typed
// and browsed, the name must reach its own file and rec.wav stay untouched.
void NameOutsideCodePage() {
  const std::wstring folder(gFolder.begin(), gFolder.end());  // ASCII
  const std::wstring name = L"\x0159" L"e" L"\x010D";
  const std::wstring wave = folder + L"\\" + name + L".wav";
  const std::wstring output = folder + L"\\" + name + L".bin";
  const auto copy = [&](const wchar_t* from, const std::wstring& to) {
    return CopyFileW((folder + L"\\" + from).c_str(), (folder + L"\\" + to).c_str(), FALSE) != 0;
  };
  if (!Expect(copy(L"tone.wav", name + L".wav") && copy(L"tone.dat", name + L".dat") &&
                  copy(L"short.wav", L"rec.wav") && copy(L"short.dat", L"rec.dat"),
              "cannot make the files")) {
    return;
  }
  const std::vector<uint8_t> reference = ReadBytes(gFolder + "\\tone.reference.bin");
  const std::vector<uint8_t> rec = ReadBytes(gFolder + "\\rec.wav");
  RunningApp app;
  if (!Launch(&app)) return;
  for (const char* how : {"typed", "browsed"}) {
    gRow = std::string(how) + ": ";
    DeleteFileW(output.c_str());
    if (how == std::string("typed")) {
      SetWideText(Control(app, kPath), name + L".wav");
    } else {
      HWND chooser = OpenFileDialog(app);
      if (!Expect(chooser != nullptr, "no open-file dialog")) return;
      SetWideText(GetDlgItem(chooser, kFileNameField), wave);
      PostClick(GetDlgItem(chooser, IDOK));
      Expect(Gone(chooser), "the open-file dialog did not close on open");
      Expect(WideWindowText(Control(app, kPath)) == wave, "the path field holds another name");
    }
    PostClick(Control(app, kConvert));
    ExpectBox(app, "終了しました", false, kConversionWaitMs);
    Expect(!reference.empty() && ReadWide(output) == reference, "no records of tone.wav in it");
    Expect(GetFileAttributesA((gFolder + "\\rec.bin").c_str()) == INVALID_FILE_ATTRIBUTES,
           "rec.bin was written");
    Expect(ReadBytes(gFolder + "\\rec.wav") == rec, "rec.wav was touched");
  }
  // Named in a box, a character the code page lacks shows as '?', not as the
  // look-alike that would name cafe.dat.
  gRow = "no pitch track: ";
  SetWideText(Control(app, kPath), L"caf\x00E9.wav");
  PostClick(Control(app, kConvert));
  ExpectBox(app, "caf?.datファイルが見つかりません : file not found", false, kRefusalWaitMs);
}

void NoSettingsWritten() {
  const std::string key = "Software\\" + Sjis("アプリケーション ウィザードで生成されたローカル アプリケーション");
  HKEY opened = nullptr;
  Expect(RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS,
         "the program created its registry key");
  RegCloseKey(opened);
}

const std::pair<const char*, void (*)()> kCases[] = {
    {"templates and icon in the executable", TemplatesAndIcon},
    {"main dialog: controls, focus, icons, placement", MainDialog},
    {"Enter and Escape do nothing in the dialog", DialogKeys},
    {"refusals and load failures", RefusalsAndLoadFailures},
    {"full conversion matches the command line", FullConversion},
    {"cancel from the progress window, then convert again", CancelFromProgressWindow},
    {"keys and a second convert during a job", InputDuringJob},
    {"exit button during a job and when idle", ExitButton},
    {"closing the dialog during a job", CloseDuringJob},
    {"browse", Browse},
    {"browse during a job holds the job", BrowseDuringJob},
    {"a name code page 932 cannot hold reaches its own file", NameOutsideCodePage},
    {"no settings written", NoSettingsWritten},
};

}  // namespace

}  // namespace kelditra

using namespace kelditra;

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--fixtures") == 0) {
    if (WriteGuiFixtures(argv[2])) return 0;
    std::fprintf(stderr, "cannot write the fixtures into %s\n", argv[2]);
    return 1;
  }
  if (argc == 4 && std::strcmp(argv[1], "--pose") == 0) return PoseForScreenshots(argv[2], argv[3]);
  if (argc < 3) {
    std::fputs("usage: kelditra_gui_tests KELDITRA.EXE FOLDER [WORD]\n", stderr);
    return 2;
  }
  gExe = argv[1];
  gFolder = argv[2];
  int passed = 0;
  int failed = 0;
  for (const auto& [name, run] : kCases) {
    if (argc > 3 && std::strstr(name, argv[3]) == nullptr) continue;
    gFailures.clear();
    gRow.clear();
    const ULONGLONG start = GetTickCount64();
    run();
    const double seconds = (GetTickCount64() - start) / 1000.0;
    std::printf("%s  %s (%.1f s)\n", gFailures.empty() ? "PASS" : "FAIL", name, seconds);
    for (const std::string& failure : gFailures) std::printf("      %s\n", failure.c_str());
    std::fflush(stdout);
    (gFailures.empty() ? passed : failed) += 1;
  }
  std::printf("%d passed, %d failed\n", passed, failed);
  return failed == 0 ? 0 : 1;
}
