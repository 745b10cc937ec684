// Drives the real Kelditra.exe through the window system, as a user would,
// and reports "N passed, M failed".
//
//   kelditra_gui_tests --fixtures FOLDER          writes the input files
//   kelditra_gui_tests --pose KELDITRA.EXE FOLDER  poses for scripts/screenshot.sh
//   kelditra_gui_tests KELDITRA.EXE FOLDER [WORD]  runs the cases (those whose
//                                                 name holds WORD)
//
// FOLDER is the program's current directory. Besides the inputs the script
// puts there the command line's output for tone.wav, tone.reference.bin, and a
// fresh icon from tools/make_icon.cpp, generated.ico.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "gui_fixtures.h"
#include "resource_check.h"
#include "screenshot_pose.h"
#include "window_probe.h"

namespace {

constexpr DWORD kShortWaitMs = 10000;
constexpr DWORD kProgressWaitMs = 60000;
// Loading and checking the inputs, up to the first failure.
constexpr DWORD kRefusalWaitMs = 20000;
// A whole 2-second conversion, even with the plain reference search.
constexpr DWORD kConversionWaitMs = 180000;

struct Context {
  std::string exe;
  std::string folder;
};

std::vector<std::string> gFailures;

bool Expect(bool ok, const std::string& what) {
  if (!ok) gFailures.push_back(what);
  return ok;
}

std::string ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "<missing>";
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

HWND Control(const RunningApp& app, int id) { return ChildWithId(app.dialog, id); }

bool Launch(const Context& context, const std::string& folder, RunningApp* app) {
  return Expect(StartApp(context.exe, folder, app), "the main dialog did not appear");
}

// For the cases that act on a running job: the plain search takes tens of
// milliseconds a frame or more on any machine, so noise.wav's 3,600 frames
// run for minutes and every click lands while the job runs.
bool LaunchWithPlainSearch(const Context& context, RunningApp* app) {
  SetEnvironmentVariableA("KELDITRA_REFERENCE", "1");
  const bool started = Launch(context, context.folder, app);
  SetEnvironmentVariableA("KELDITRA_REFERENCE", nullptr);
  return started;
}

// Waits for the one message box a job ends with, checks it and presses OK.
bool ExpectBox(const RunningApp& app, const std::string& text, bool with_icon,
               DWORD timeout_ms = kShortWaitMs) {
  HWND box = WaitForWindow([&] { return MessageBoxOf(app.dialog); }, timeout_ms);
  if (!Expect(box != nullptr, "no message box; wanted \"" + Show(text) + "\"")) return false;
  const SeenBox seen = ReadMessageBox(box);
  Expect(seen.caption == "Kelditra", "box caption \"" + Show(seen.caption) + "\"");
  Expect(seen.text == text, "box text \"" + Show(seen.text) + "\", want \"" + Show(text) + "\"");
  Expect(seen.has_icon == with_icon,
         with_icon ? "box without the exclamation icon" : "plain box shows an icon");
  Expect(seen.buttons == 1, "box has " + std::to_string(seen.buttons) + " buttons");
  return Expect(DismissMessageBox(box), "box did not close on OK");
}

bool NoBoxFor(const RunningApp& app, DWORD ms) {
  return !WaitUntil([&] { return MessageBoxOf(app.dialog) != nullptr; }, ms);
}

// "進行率 " + whole part below 100 + "." + exactly three digits + "%".
bool IsProgressText(const std::string& text) {
  const std::string prefix = Sjis("進行率 ");
  if (text.compare(0, prefix.size(), prefix) != 0) return false;
  const std::string number = text.substr(prefix.size());
  const size_t point = number.find('.');
  if (point == std::string::npos || point == 0 || point > 2) return false;
  if (number.size() != point + 5 || number.back() != '%') return false;
  for (size_t i = 0; i + 1 < number.size(); ++i) {
    if (i != point && (number[i] < '0' || number[i] > '9')) return false;
  }
  return point == 1 || number[0] != '0';
}

std::string ProgressTextOf(HWND progress) {
  const std::vector<HWND> children = ChildrenInOrder(progress);
  return children.empty() ? "" : WindowText(children.front());
}

// The next text the progress window shows other than previous; empty when the
// window went away or nothing changed in time.
std::string NextProgressText(HWND progress, const std::string& previous) {
  std::string text;
  WaitUntil(
      [&] {
        if (!IsWindow(progress)) return true;
        text = ProgressTextOf(progress);
        return !text.empty() && text != previous;
      },
      kProgressWaitMs);
  return IsWindow(progress) ? text : "";
}

// Types path, presses 変換 and waits for the progress window's first text.
HWND StartJob(const RunningApp& app, const std::string& path) {
  SetText(Control(app, kPath), path);
  PostClick(Control(app, kConvert));
  HWND progress = WaitForWindow([&] { return ProgressWindowOf(app.dialog); }, kProgressWaitMs);
  if (!Expect(progress != nullptr, "no progress window for " + path)) return nullptr;
  const std::string first = NextProgressText(progress, "");
  Expect(IsProgressText(first), "progress text \"" + Show(first) + "\"");
  return progress;
}

bool Gone(HWND window) {
  return WaitUntil([window] { return !IsWindow(window); }, kShortWaitMs);
}

// --- the cases ------------------------------------------------------------

void TemplatesAndIcon(const Context& context) {
  for (const std::string& failure : CheckDialogTemplates(context.exe)) Expect(false, failure);
  for (const std::string& failure : CheckIcon(context.exe, context.folder + "\\generated.ico")) {
    Expect(false, failure);
  }
}

void MainDialog(const Context& context) {
  RunningApp app;
  if (!Launch(context, context.folder, &app)) return;
  HWND dialog = app.dialog;

  const LONG style = GetWindowLongA(dialog, GWL_STYLE);
  const LONG ex_style = GetWindowLongA(dialog, GWL_EXSTYLE);
  Expect((style & 0x90C800C0) == 0x90C800C0, "dialog styles missing");
  Expect((style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX)) == 0, "dialog has a minimise or maximise box");
  Expect((ex_style & WS_EX_APPWINDOW) != 0, "dialog lacks WS_EX_APPWINDOW");
  Expect(GetWindow(dialog, GW_OWNER) == nullptr, "dialog has an owner");

  struct Row {
    int id;
    const char* kind;
    const char* text;
  };
  const Row rows[] = {
      {-1, "Static", "ＷＡＶＥファイル"}, {kPath, "Edit", ""},    {kBrowse, "Button", "参照"},
      {kConvert, "Button", "変換"},      {kExit, "Button", "終了"},
  };
  const std::vector<HWND> children = ChildrenInOrder(dialog);
  Expect(children.size() == std::size(rows), "dialog has " + std::to_string(children.size()) + " controls");
  for (size_t i = 0; i < children.size() && i < std::size(rows); ++i) {
    const std::string at = "control " + std::to_string(i) + ": ";
    Expect(static_cast<int>(GetWindowLongPtrA(children[i], GWLP_ID)) == rows[i].id, at + "wrong id");
    Expect(ClassOf(children[i]) == rows[i].kind, at + "class " + ClassOf(children[i]));
    Expect(WindowText(children[i]) == Sjis(rows[i].text),
           at + "text \"" + Show(WindowText(children[i])) + "\"");
    if (std::strcmp(rows[i].kind, "Button") == 0) {
      Expect((GetWindowLongA(children[i], GWL_STYLE) & BS_TYPEMASK) == BS_PUSHBUTTON,
             at + "is a default button");
    }
  }
  Expect(FocusOf(dialog) == Control(app, kPath), "the path field does not start with the focus");

  // The caption shows the window's small icon: its orange bars and its navy
  // ground, colours no default icon has.
  RECT frame;
  GetWindowRect(dialog, &frame);
  POINT client = {0, 0};
  ClientToScreen(dialog, &client);
  const RECT caption = {frame.left, frame.top, frame.right, client.y};
  Expect(WaitUntil(
             [&] {
               return CountScreenPixels(caption, RGB(244, 150, 36)) > 0 &&
                      CountScreenPixels(caption, RGB(28, 44, 104)) > 0;
             },
             kShortWaitMs),
         "the caption does not show the application icon");

  RECT window, area;
  GetWindowRect(dialog, &window);
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
  const int dx = (window.left + window.right) - (area.left + area.right);
  const int dy = (window.top + window.bottom) - (area.top + area.bottom);
  Expect(dx >= -2 && dx <= 2 && dy >= -2 && dy <= 2, "dialog not centred in the work area");
  StopApp(&app);
}

void DialogKeys(const Context& context) {
  RunningApp app;
  if (!Launch(context, context.folder, &app)) return;
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
  StopApp(&app);
}

void RefusalsAndLoadFailures(const Context& context) {
  const std::string not_found = Sjis("ファイルが見つかりません : file not found");
  const std::string not_wave = Sjis("WAVEファイルを指定して下さい");
  struct Row {
    const char* name;
    std::string folder;
    const char* path;
    std::string message;
    bool icon;
  };
  const Row rows[] = {
      {"empty path", context.folder, "", not_wave, true},
      {"shorter than .wav", context.folder, "abc", not_wave, true},
      {"wrong extension", context.folder, "take1.txt", not_wave, true},
      {"a dot after .wav", context.folder, "take1.wav.", not_wave, true},
      {"no voice table here", context.folder + "\\sub", "tone.wav", "fm_table2.dat" + not_found, false},
      {"upper case, trailing blanks; no pitch track", context.folder, "missing.WAV \t ",
       "missing.dat" + not_found, false},
  };
  RunningApp app;
  std::string running_in;
  for (const Row& row : rows) {
    if (row.folder != running_in) {
      StopApp(&app);
      if (!Launch(context, row.folder, &app)) return;
      running_in = row.folder;
    }
    const size_t before = gFailures.size();
    SetText(Control(app, kPath), row.path);
    PostClick(Control(app, kConvert));
    ExpectBox(app, row.message, row.icon, kRefusalWaitMs);
    for (size_t i = before; i < gFailures.size(); ++i) gFailures[i] = std::string(row.name) + ": " + gFailures[i];
  }
  StopApp(&app);
}

void FullConversion(const Context& context) {
  const std::string output = context.folder + "\\tone.bin";
  DeleteFileA(output.c_str());
  RunningApp app;
  if (!Launch(context, context.folder, &app)) return;
  SetText(Control(app, kPath), context.folder + "\\tone.wav");
  PostClick(Control(app, kConvert));

  HWND progress = WaitForWindow([&] { return ProgressWindowOf(app.dialog); }, kProgressWaitMs);
  if (Expect(progress != nullptr, "no progress window")) {
    // A template at (0, 0) without centring: the system puts the window's
    // client area on the owner's.
    POINT placed = {0, 0};
    ClientToScreen(progress, &placed);
    POINT origin = {0, 0};
    ClientToScreen(app.dialog, &origin);
    Expect(placed.x == origin.x && placed.y == origin.y,
           "progress window's client area at " + std::to_string(placed.x) + "," +
               std::to_string(placed.y) + ", the dialog's at " + std::to_string(origin.x) + "," +
               std::to_string(origin.y));
    Expect((GetWindowLongA(progress, GWL_STYLE) & WS_VISIBLE) != 0, "progress window hidden");
    // Every text it shows while the job runs, until the window goes. A fast
    // enough search may finish before the first tick; the longer jobs below
    // make sure a text appears.
    std::string text;
    while (!(text = NextProgressText(progress, text)).empty()) {
      Expect(IsProgressText(text), "progress text \"" + Show(text) + "\"");
    }
  }
  HWND box = WaitForWindow([&] { return MessageBoxOf(app.dialog); }, kConversionWaitMs);
  Expect(progress == nullptr || !IsWindow(progress), "progress window still open at the end");
  if (box != nullptr) ExpectBox(app, Sjis("終了しました"), false);
  else Expect(false, "no final message");

  const std::string reference = ReadFileBytes(context.folder + "\\tone.reference.bin");
  const std::string written = ReadFileBytes(output);
  Expect(reference != "<missing>", "no tone.reference.bin from the command line");
  Expect(written.size() == 120 * 16, "tone.bin holds " + std::to_string(written.size()) + " bytes");
  Expect(written == reference, "tone.bin differs from the command line's output");
  StopApp(&app);
}

void CancelFromProgressWindow(const Context& context) {
  const std::string output = context.folder + "\\noise.bin";
  const std::string kept = "an earlier result";
  struct Way {
    const char* name;
    void (*cancel)(HWND progress);
  };
  const Way ways[] = {
      {"キャンセル", [](HWND p) { PostClick(ChildWithId(p, kCancel)); }},
      {"close box", [](HWND p) { PostMessageA(p, WM_SYSCOMMAND, SC_CLOSE, 0); }},
      {"Alt+F4", [](HWND p) {
         PostMessageA(ChildWithId(p, kCancel), WM_SYSKEYDOWN, VK_F4,
                      1 | (MapVirtualKeyA(VK_F4, MAPVK_VK_TO_VSC) << 16) | (1u << 29));
       }},
  };
  RunningApp app;
  if (!LaunchWithPlainSearch(context, &app)) return;
  for (const Way& way : ways) {
    const size_t before = gFailures.size();
    WriteFileBytes(output, kept);
    HWND progress = StartJob(app, "noise.wav");
    if (progress == nullptr) break;
    way.cancel(progress);
    Expect(Gone(progress), "progress window stayed open");
    ExpectBox(app, Sjis("中止しました"), false);
    Expect(ReadFileBytes(output) == kept, "noise.bin was touched");
    for (size_t i = before; i < gFailures.size(); ++i) gFailures[i] = std::string(way.name) + ": " + gFailures[i];
  }
  // Nothing of a stopped job lingers: the next one runs to its end.
  DeleteFileA((context.folder + "\\short.bin").c_str());
  SetText(Control(app, kPath), "short.wav");
  PostClick(Control(app, kConvert));
  ExpectBox(app, Sjis("終了しました"), false, kConversionWaitMs);
  Expect(ReadFileBytes(context.folder + "\\short.bin").size() == 12 * 16,
         "the conversion after the cancels wrote no short.bin");
  StopApp(&app);
}

void InputDuringJob(const Context& context) {
  RunningApp app;
  if (!LaunchWithPlainSearch(context, &app)) return;
  HWND progress = StartJob(app, "noise.wav");
  if (progress == nullptr) return;
  HWND cancel = ChildWithId(progress, kCancel);
  // The progress window gets no dialog-manager keys: Escape would cancel and
  // Enter would be taken for the refresh request.
  PostKey(cancel, VK_RETURN);
  PostKey(cancel, VK_ESCAPE);
  PostKey(progress, VK_ESCAPE);
  PostClick(Control(app, kConvert));
  // Three more texts: at least two ticks have pumped since the input above.
  std::string text = ProgressTextOf(progress);
  for (int tick = 0; tick < 3; ++tick) text = NextProgressText(progress, text);
  Expect(!text.empty() && IsWindow(progress), "Enter or Escape closed the progress window");
  Expect(ProgressWindowOf(app.dialog) == progress, "a second progress window appeared");
  Expect(MessageBoxOf(app.dialog) == nullptr, "a second 変換 showed a message");

  PostClick(cancel);
  ExpectBox(app, Sjis("中止しました"), false);
  Expect(NoBoxFor(app, 1500), "a second job reported too");
  StopApp(&app);
}

void ExitButton(const Context& context) {
  RunningApp app;
  if (!LaunchWithPlainSearch(context, &app)) return;
  HWND progress = StartJob(app, "noise.wav");
  if (progress == nullptr) return;
  PostClick(Control(app, kExit));
  Expect(Gone(progress), "終了 left the progress window open");
  ExpectBox(app, Sjis("中止しました"), false);
  Expect(!HasExited(app, 500), "終了 during a job ended the program");
  Expect(IsWindowVisible(app.dialog), "終了 during a job hid the dialog");
  Expect(WindowText(Control(app, kPath)) == "noise.wav", "the path field changed");

  PostClick(Control(app, kExit));
  Expect(HasExited(app, 10000), "終了 when idle did not end the program");
  Expect(ExitCodeOf(app) == 0, "exit code " + std::to_string(ExitCodeOf(app)));
  StopApp(&app);
}

void CloseDuringJob(const Context& context) {
  RunningApp app;
  if (!LaunchWithPlainSearch(context, &app)) return;
  HWND progress = StartJob(app, "noise.wav");
  if (progress == nullptr) return;
  PostMessageA(app.dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
  Expect(Gone(progress), "closing the dialog left the progress window open");
  ExpectBox(app, Sjis("中止しました"), false);
  Expect(HasExited(app, 10000), "the program did not end after the job stopped");
  StopApp(&app);
}

void Browse(const Context& context) {
  RunningApp app;
  if (!Launch(context, context.folder, &app)) return;
  HWND path = Control(app, kPath);
  SetText(path, "typed.wav");

  PostClick(Control(app, kBrowse));
  HWND chooser = WaitForWindow([&] { return FileDialogOf(app.dialog); }, 20000);
  if (!Expect(chooser != nullptr, "no open-file dialog")) return;
  const HWND types = ChildWithId(chooser, 0x470);
  Expect(types != nullptr && WindowText(types) == Sjis("WAVE File  （ *.wav ）"),
         "file type \"" + Show(types ? WindowText(types) : std::string()) + "\"");
  PostClick(ChildWithId(chooser, IDCANCEL));
  Expect(Gone(chooser), "the open-file dialog did not close on cancel");
  Expect(WindowText(path) == "typed.wav", "cancelling changed the path field");

  // A file in another folder, typed without its extension.
  PostClick(Control(app, kBrowse));
  chooser = WaitForWindow([&] { return FileDialogOf(app.dialog); }, 20000);
  if (!Expect(chooser != nullptr, "no open-file dialog the second time")) return;
  HWND name = ChildWithId(chooser, 0x47C);
  if (name == nullptr) name = ChildWithId(chooser, 0x480);
  SetText(name, context.folder + "\\sub\\tiny");
  PostClick(ChildWithId(chooser, IDOK));
  Expect(Gone(chooser), "the open-file dialog did not close on open");
  const std::string chosen = context.folder + "\\sub\\tiny.wav";
  Expect(WindowText(path) == chosen,
         "path field \"" + Show(WindowText(path)) + "\", want \"" + Show(chosen) + "\"");

  // The voice table is still found: browsing left the current folder alone.
  PostClick(Control(app, kConvert));
  ExpectBox(app, Sjis("終了しました"), false, kConversionWaitMs);
  Expect(ReadFileBytes(context.folder + "\\sub\\tiny.bin").empty(), "sub\\tiny.bin is not empty");
  StopApp(&app);
}

void BrowseDuringJob(const Context& context) {
  RunningApp app;
  if (!LaunchWithPlainSearch(context, &app)) return;
  HWND progress = StartJob(app, "noise.wav");
  if (progress == nullptr) return;
  // How long three ticks take here, on this job: every tick shows a new text.
  const ULONGLONG before = GetTickCount64();
  std::string text = ProgressTextOf(progress);
  for (int tick = 0; tick < 3; ++tick) text = NextProgressText(progress, text);
  const DWORD three_ticks_ms = static_cast<DWORD>(GetTickCount64() - before);
  // The file dialog's own loop runs inside the job's pumping: no tick until
  // it closes, though three would have come in the time held otherwise.
  PostClick(Control(app, kBrowse));
  HWND chooser = WaitForWindow([&] { return FileDialogOf(app.dialog); }, 20000);
  if (!Expect(chooser != nullptr, "no open-file dialog during the job")) return;
  const std::string held = ProgressTextOf(progress);
  Sleep(three_ticks_ms);
  Expect(ProgressTextOf(progress) == held, "the job went on while the file dialog was open");
  PostClick(ChildWithId(chooser, IDCANCEL));
  Expect(Gone(chooser), "the open-file dialog did not close on cancel");
  Expect(!NextProgressText(progress, held).empty(), "the job did not go on after the file dialog");
  Expect(WindowText(Control(app, kPath)) == "noise.wav", "cancelling changed the path field");

  PostClick(ChildWithId(progress, kCancel));
  ExpectBox(app, Sjis("中止しました"), false);
  StopApp(&app);
}

void NoSettingsWritten(const Context&) {
  const std::string key = "Software\\" + Sjis("アプリケーション ウィザードで生成されたローカル アプリケーション");
  HKEY opened = nullptr;
  const bool exists = RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &opened) == ERROR_SUCCESS;
  if (exists) RegCloseKey(opened);
  Expect(!exists, "the program created its registry key");
}

struct Case {
  const char* name;
  void (*run)(const Context&);
};

const Case kCases[] = {
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
    {"no settings written", NoSettingsWritten},
};

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--fixtures") == 0) {
    if (WriteGuiFixtures(argv[2])) return 0;
    std::fprintf(stderr, "cannot write the fixtures into %s\n", argv[2]);
    return 1;
  }
  if (argc == 4 && std::strcmp(argv[1], "--pose") == 0) return PoseForScreenshots(argv[2], argv[3]);
  if (argc < 3) {
    std::fputs("usage: kelditra_gui_tests KELDITRA.EXE FOLDER [WORD]\n"
               "       kelditra_gui_tests --fixtures FOLDER\n"
               "       kelditra_gui_tests --pose KELDITRA.EXE FOLDER\n",
               stderr);
    return 2;
  }
  const Context context{argv[1], argv[2]};
  int passed = 0;
  int failed = 0;
  for (const Case& test : kCases) {
    if (argc > 3 && std::strstr(test.name, argv[3]) == nullptr) continue;
    gFailures.clear();
    const ULONGLONG start = GetTickCount64();
    test.run(context);
    const double seconds = (GetTickCount64() - start) / 1000.0;
    std::printf("%s  %s (%.1f s)\n", gFailures.empty() ? "PASS" : "FAIL", test.name, seconds);
    for (const std::string& failure : gFailures) std::printf("      %s\n", failure.c_str());
    std::fflush(stdout);
    (gFailures.empty() ? passed : failed) += 1;
  }
  std::printf("%d passed, %d failed\n", passed, failed);
  return failed == 0 ? 0 : 1;
}
