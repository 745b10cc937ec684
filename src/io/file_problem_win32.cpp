#include "io/file_problem.h"

#include <windows.h>

#include "io/platform_file.h"
#include "io/wide_text_win32.h"

namespace kelditra {

std::string SystemErrorText(int64_t system_error) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, static_cast<DWORD>(system_error), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string utf8;
  if (length > 0) {
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0,
                                          nullptr, nullptr);
    utf8.resize(static_cast<size_t>(bytes));
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), utf8.data(), bytes, nullptr,
                        nullptr);
    while (!utf8.empty() && (utf8.back() == '\n' || utf8.back() == '\r' || utf8.back() == '.')) {
      utf8.pop_back();
    }
  }
  LocalFree(text);
  return utf8;
}

std::string FolderOf(const std::string& path) {
  const size_t cut = path.find_last_of(kFolderSeparators);
  if (cut == std::string::npos) return ".";
  return path.substr(0, cut + (path[cut] == ':' || cut == 0 ? 1 : 0));
}

bool IsFolder(const std::string& path) {
  std::wstring name;
  // A path that is not UTF-8 names no file, and so no folder.
  if (!WidenUtf8(path, &name)) return false;
  const DWORD attributes = GetFileAttributesW(name.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace kelditra
