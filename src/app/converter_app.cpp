#include "app/converter_app.h"

#include <windows.h>

#include "app/converter_dialog.h"
#include "app/dialog_framework.h"

namespace kelditra {

namespace {

// "アプリケーション ウィザードで生成されたローカル アプリケーション" in Shift-JIS.
constexpr char kRegistryKey[] =
    "\x83\x41\x83\x76\x83\x8a\x83\x50\x81\x5b\x83\x56\x83\x87\x83\x93 "
    "\x83\x45\x83\x42\x83\x55\x81\x5b\x83\x68\x82\xc5\x90\xb6\x90\xac\x82\xb3\x82\xea\x82\xbd"
    "\x83\x8d\x81\x5b\x83\x4a\x83\x8b \x83\x41\x83\x76\x83\x8a\x83\x50\x81\x5b\x83\x56\x83\x87\x83\x93";

}  // namespace

CConverterApp theApp;

bool CConverterApp::InitInstance() {
  SetRegistryKey(kRegistryKey);
  CConverterDialog dialog;
  // How the dialog ended does not matter: either way the program ends.
  dialog.DoModal();
  return false;
}

int CConverterApp::ExitInstance() { return QuitCode(); }

}  // namespace kelditra

using namespace kelditra;

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  if (!theApp.InitInstance()) return theApp.ExitInstance();
  return 0;
}
