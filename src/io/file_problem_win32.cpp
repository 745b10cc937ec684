#include "io/file_problem.h"

#include <windows.h>

#include "io/platform_file.h"
#include "io/wide_text_win32.h"

namespace {

// The attributes of the file at path; INVALID_FILE_ATTRIBUTES when none, or
// when the path is not UTF-8 and so names no file.
DWORD AttributesOf(const std::string& path) {
  std::wstring name;
  return WidenUtf8(path, &name) ? GetFileAttributesW(name.c_str()) : INVALID_FILE_ATTRIBUTES;
}

// CreateFileW for a UTF-8 path; a path that is not UTF-8 cannot be opened.
HANDLE OpenNamed(const std::string& path, DWORD access, DWORD sharing, DWORD disposition,
                 DWORD flags) {
  std::wstring name;
  if (!WidenUtf8(path, &name)) {
    SetLastError(ERROR_INVALID_NAME);
    return INVALID_HANDLE_VALUE;
  }
  return CreateFileW(name.c_str(), access, sharing, nullptr, disposition, flags, nullptr);
}

// The system's words for an error, in the user's language, as UTF-8.
FileProblem SystemProblem(DWORD error) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
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
  return {FileProblemKind::kSystem, utf8};
}

}  // namespace

std::string FolderOf(const std::string& path) {
  const size_t cut = path.find_last_of(kFolderSeparators);
  if (cut == std::string::npos) return ".";
  return path.substr(0, cut + (path[cut] == ':' || cut == 0 ? 1 : 0));
}

bool IsFolder(const std::string& path) {
  const DWORD attributes = AttributesOf(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

FileProblem ProbeReading(const std::string& path) {
  if (path.size() >= kMaxPathBytes) return {FileProblemKind::kPathTooLong, {}};
  HANDLE handle = OpenNamed(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING,
                            FILE_FLAG_BACKUP_SEMANTICS);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) return {FileProblemKind::kMissing, {}};
    if (error == ERROR_PATH_NOT_FOUND) return {FileProblemKind::kMissingFolder, {}};
    return SystemProblem(error);
  }
  const bool on_disk = GetFileType(handle) == FILE_TYPE_DISK && !IsFolder(path);
  CloseHandle(handle);
  return on_disk ? FileProblem{} : FileProblem{FileProblemKind::kNotRegularFile, {}};
}

FileProblem ProbeWriting(const std::string& path) {
  if (path.size() >= kMaxPathBytes) return {FileProblemKind::kPathTooLong, {}};
  const DWORD attributes = AttributesOf(path);
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return {FileProblemKind::kNotRegularFile, {}};
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) return {FileProblemKind::kReadOnly, {}};
    // Held open by another program, say.
    HANDLE handle = OpenNamed(path, GENERIC_WRITE, 0, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
    if (handle == INVALID_HANDLE_VALUE) return SystemProblem(GetLastError());
    CloseHandle(handle);
  }
  const std::string folder = FolderOf(path);
  if (!IsFolder(folder)) return {FileProblemKind::kMissingFolder, {}};
  const std::string trial = folder + "\\~kelditra-" + std::to_string(GetCurrentProcessId()) + ".tmp";
  HANDLE handle = OpenNamed(trial, GENERIC_WRITE, 0, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE);
  if (handle == INVALID_HANDLE_VALUE) return SystemProblem(GetLastError());
  CloseHandle(handle);
  return {};
}
