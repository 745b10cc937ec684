#pragma once

namespace kelditra {

// The application object: one instance, theApp, constructed as the process
// starts. It shows the main dialog modally as its only window and lets the
// process end once that dialog has closed.
class CConverterApp {
 public:
  // No name of its own: the executable's name stands in (see AppName()).
  CConverterApp() = default;

  // Start-up. Always false: there is no message loop of the application's own
  // to run after the dialog.
  bool InitInstance();
  int ExitInstance();

  // Where per-user settings would live. Named only; nothing is read or stored.
  const char* RegistryKey() const { return registry_key_; }

 private:
  void SetRegistryKey(const char* key) { registry_key_ = key; }

  const char* registry_key_ = nullptr;
};

extern CConverterApp theApp;

}  // namespace kelditra
