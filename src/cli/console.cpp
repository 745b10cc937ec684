#include "cli/console.h"

#include <cstdio>

#ifdef _WIN32
#include <io.h>
#include <windows.h>

#include "io/wide_text_win32.h"
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace kelditra {

namespace {

constexpr int kDefaultColumns = 80;

#ifdef _WIN32
void Write(FILE* stream, const std::string& utf8) {
  HANDLE handle = GetStdHandle(stream == stdout ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
  DWORD mode = 0;
  std::wstring wide;
  if (handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) && WidenUtf8(utf8, &wide)) {
    std::fflush(stream);
    DWORD written = 0;
    WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    return;
  }
  std::fwrite(utf8.data(), 1, utf8.size(), stream);
  std::fflush(stream);
}
#else
void Write(FILE* stream, const std::string& utf8) {
  std::fwrite(utf8.data(), 1, utf8.size(), stream);
  std::fflush(stream);
}
#endif

}  // namespace

void WriteOut(const std::string& utf8) { Write(stdout, utf8); }
void WriteErr(const std::string& utf8) { Write(stderr, utf8); }

bool StderrIsTerminal() {
#ifdef _WIN32
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(fileno(stderr)) != 0;
#endif
}

int TerminalColumns() {
#ifdef _WIN32
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info)) {
    return info.srWindow.Right - info.srWindow.Left + 1;
  }
#else
  struct winsize size {};
  if (ioctl(fileno(stderr), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
#endif
  return kDefaultColumns;
}

}  // namespace kelditra
