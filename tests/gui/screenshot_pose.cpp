#include "screenshot_pose.h"

#include <windows.h>

#include <cstdio>
#include <fstream>

#include "window_probe.h"

namespace {

constexpr DWORD kWaitMs = 60000;

RECT Union(HWND first, HWND second) {
  RECT a, b, both;
  GetWindowRect(first, &a);
  if (second == nullptr) return a;
  GetWindowRect(second, &b);
  UnionRect(&both, &a, &b);
  return both;
}

// Hands the area to the script and waits until it has taken the picture.
bool Pose(const std::string& folder, const char* name, const RECT& area) {
  const std::string base = folder + "\\" + name;
  DeleteFileA((base + ".done").c_str());
  {
    std::ofstream rect(base + ".rect.part");
    rect << (area.right - area.left) << "x" << (area.bottom - area.top) << "+" << area.left << "+"
         << area.top << "\n";
  }
  MoveFileExA((base + ".rect.part").c_str(), (base + ".rect").c_str(), MOVEFILE_REPLACE_EXISTING);
  return WaitUntil([&] { return GetFileAttributesA((base + ".done").c_str()) != INVALID_FILE_ATTRIBUTES; },
                   kWaitMs);
}

}  // namespace

int PoseForScreenshots(const std::string& exe, const std::string& folder) {
  RunningApp app;
  if (!StartApp(exe, folder, &app)) {
    std::fputs("the main dialog did not appear\n", stderr);
    return 1;
  }
  SetText(ChildWithId(app.dialog, kPath), Sjis("C:\\録音\\サンプル01.wav"));
  Sleep(500);  // painted
  bool posed = Pose(folder, "dialog", Union(app.dialog, nullptr));

  SetText(ChildWithId(app.dialog, kPath), "noise.wav");
  PostClick(ChildWithId(app.dialog, kConvert));
  HWND progress = WaitForWindow([&] { return ProgressWindowOf(app.dialog); }, kWaitMs);
  // A few refreshes in, so the percentage is not 0.
  for (int tick = 0; progress != nullptr && tick < 8; ++tick) {
    const std::string before = WindowText(ChildrenInOrder(progress).front());
    WaitUntil([&] { return WindowText(ChildrenInOrder(progress).front()) != before; }, kWaitMs);
  }
  posed = posed && progress != nullptr && Pose(folder, "progress", Union(app.dialog, progress));

  if (progress != nullptr) PostClick(ChildWithId(progress, kCancel));
  HWND box = WaitForWindow([&] { return MessageBoxOf(app.dialog); }, kWaitMs);
  if (box != nullptr) DismissMessageBox(box);
  PostClick(ChildWithId(app.dialog, kExit));
  HasExited(app, 10000);
  StopApp(&app);
  return posed ? 0 : 1;
}
