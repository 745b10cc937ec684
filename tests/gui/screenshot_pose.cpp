#include "screenshot_pose.h"

#include <windows.h>

#include <cstdio>
#include <fstream>

#include "window_probe.h"

namespace kelditra {

namespace {

constexpr DWORD kWaitMs = 60000;

// Hands the area of window (and of other, if any) to the script and waits
// until it has taken the picture.
bool Pose(const std::string& folder, const char* name, HWND window, HWND other = nullptr) {
  RECT area, more;
  GetWindowRect(window, &area);
  if (other != nullptr && GetWindowRect(other, &more)) UnionRect(&area, &area, &more);
  const std::string base = folder + "\\" + name;
  DeleteFileA((base + ".done").c_str());
  std::ofstream(base + ".rect.part") << (area.right - area.left) << "x" << (area.bottom - area.top)
                                     << "+" << area.left << "+" << area.top << "\n";
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
  SetText(GetDlgItem(app.dialog, kPath), Sjis("C:\\録音\\サンプル01.wav"));
  // Paint the new path now, before the picture, instead of whenever the program gets to it.
  RedrawWindow(app.dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  bool posed = Pose(folder, "dialog", app.dialog);

  SetText(GetDlgItem(app.dialog, kPath), "noise.wav");
  PostClick(GetDlgItem(app.dialog, kConvert));
  HWND progress = WaitForWindow([&] { return ProgressWindowOf(app.dialog); }, kWaitMs);
  // A few refreshes in, so the percentage is not 0.
  if (progress != nullptr) WaitForTicks(progress, 8);
  posed = posed && progress != nullptr && Pose(folder, "progress", app.dialog, progress);

  if (progress != nullptr) PostClick(GetDlgItem(progress, kCancel));
  HWND box = WaitForWindow([&] { return MessageBoxOf(app.dialog); }, kWaitMs);
  if (box != nullptr) DismissMessageBox(box);
  PostClick(GetDlgItem(app.dialog, kExit));
  HasExited(app, 10000);
  return posed ? 0 : 1;
}

}  // namespace kelditra
