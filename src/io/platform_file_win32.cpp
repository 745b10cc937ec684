#include "io/platform_file.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "io/wide_text_win32.h"

namespace kelditra {

namespace {

HANDLE Handle(PlatformFile file) { return reinterpret_cast<HANDLE>(file.handle); }

// The name as the system keeps it. A path too long for every platform, or
// not UTF-8 and so no file's name, gets no call: *problem says which.
bool SystemName(const char* path, std::wstring* name, FileProblem* problem = nullptr) {
  FileProblem found;
  if (std::strlen(path) >= kMaxPathBytes) {
    found = {FileProblemKind::kPathTooLong, 0};
  } else if (!WidenUtf8(path, name)) {
    found = {FileProblemKind::kSystem, ERROR_INVALID_NAME};
  } else {
    return true;
  }
  if (problem != nullptr) *problem = found;
  return false;
}

bool IsFolderPath(const std::wstring& name) {
  const DWORD attributes = GetFileAttributesW(name.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

OpenStatus OpenForReading(const char* path, PlatformFile* file, FileProblem* problem) {
  FileProblem ignored;
  if (problem == nullptr) problem = &ignored;
  std::wstring name;
  if (!SystemName(path, &name, problem)) return OpenStatus::kFailed;

  // No sharing: a file someone else holds open cannot be read half-written.
  HANDLE handle = CreateFileW(name.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) return OpenStatus::kNotFound;
    // ERROR_PATH_NOT_FOUND is a missing folder on the way: not "not found".
    // A folder opened as a file is refused as access denied.
    *problem = error == ERROR_PATH_NOT_FOUND ? FileProblem{FileProblemKind::kMissingFolder, 0}
               : IsFolderPath(name)          ? FileProblem{FileProblemKind::kNotRegularFile, 0}
                                             : FileProblem{FileProblemKind::kSystem, error};
    return OpenStatus::kFailed;
  }
  if (GetFileType(handle) != FILE_TYPE_DISK) {
    *problem = {FileProblemKind::kNotRegularFile, 0};
    CloseHandle(handle);
    return OpenStatus::kFailed;
  }
  file->handle = reinterpret_cast<intptr_t>(handle);
  return OpenStatus::kOpened;
}

int64_t LengthOf(PlatformFile file) {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(Handle(file), &size)) return -1;
  return size.QuadPart;
}

int64_t ReadFrom(PlatformFile file, void* buffer, uint32_t count) {
  DWORD got = 0;
  if (!ReadFile(Handle(file), buffer, count, &got, nullptr)) return -1;
  return got;
}

FileProblem ReplacementProblem(const char* path) {
  std::wstring name;
  FileProblem problem;
  if (!SystemName(path, &name, &problem)) return problem;
  const DWORD attributes = GetFileAttributesW(name.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND) return {};
    if (error == ERROR_PATH_NOT_FOUND) return {FileProblemKind::kMissingFolder, 0};
    return {FileProblemKind::kSystem, error};
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return {FileProblemKind::kNotRegularFile, 0};
  if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) return {FileProblemKind::kReadOnly, 0};
  // Opening it for writing without sharing, and changing nothing, is how to
  // learn that no other program holds it open.
  HANDLE handle = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return {FileProblemKind::kSystem, GetLastError()};
  const bool on_disk = GetFileType(handle) == FILE_TYPE_DISK;
  CloseHandle(handle);
  return on_disk ? FileProblem{} : FileProblem{FileProblemKind::kNotRegularFile, 0};
}

CreateStatus CreateNewForWriting(const char* path, PlatformFile* file, FileProblem* problem) {
  std::wstring name;
  if (!SystemName(path, &name, problem)) return CreateStatus::kFailed;
  HANDLE handle = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) return CreateStatus::kExists;
    *problem = error == ERROR_PATH_NOT_FOUND ? FileProblem{FileProblemKind::kMissingFolder, 0}
                                             : FileProblem{FileProblemKind::kSystem, error};
    return CreateStatus::kFailed;
  }
  if (GetFileType(handle) != FILE_TYPE_DISK) {
    *problem = {FileProblemKind::kNotRegularFile, 0};
    CloseHandle(handle);
    return CreateStatus::kFailed;
  }
  file->handle = reinterpret_cast<intptr_t>(handle);
  return CreateStatus::kCreated;
}

bool WriteTo(PlatformFile file, const void* buffer, uint32_t count) {
  DWORD put = 0;
  return WriteFile(Handle(file), buffer, count, &put, nullptr) && put == count;
}

bool FlushToDisk(PlatformFile file) { return FlushFileBuffers(Handle(file)) != 0; }

bool CloseFile(PlatformFile file) { return CloseHandle(Handle(file)) != 0; }

bool MoveOver(const char* from, const char* to) {
  std::wstring from_name;
  std::wstring to_name;
  if (!SystemName(from, &from_name) || !SystemName(to, &to_name)) return false;
  // Fails on a read-only target and on one held open elsewhere, as it should.
  return MoveFileExW(from_name.c_str(), to_name.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

CreateStatus MoveToFreeName(const char* from, const char* to) {
  std::wstring from_name;
  std::wstring to_name;
  if (!SystemName(from, &from_name) || !SystemName(to, &to_name)) return CreateStatus::kFailed;
  // Without MOVEFILE_REPLACE_EXISTING the move fails on any file in the way.
  if (MoveFileExW(from_name.c_str(), to_name.c_str(), MOVEFILE_WRITE_THROUGH) != 0) {
    return CreateStatus::kCreated;
  }
  const DWORD error = GetLastError();
  return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ? CreateStatus::kExists
                                                                     : CreateStatus::kFailed;
}

bool RemoveFile(const char* path) {
  std::wstring name;
  return SystemName(path, &name) && DeleteFileW(name.c_str()) != 0;
}

uint32_t ProcessId() { return GetCurrentProcessId(); }

bool IdentityOf(const char* path, FileIdentity* identity) {
  std::wstring name;
  if (!SystemName(path, &name)) return false;
  // Attributes only, and every kind of sharing: asking which file it is must
  // neither fail on nor disturb a program that holds it open.
  constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
  HANDLE handle = CreateFileW(name.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info;
  const bool regular = GetFileType(handle) == FILE_TYPE_DISK &&
                       GetFileInformationByHandle(handle, &info) &&
                       (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
  CloseHandle(handle);
  if (!regular) return false;
  // Volume and file index name the file as device and inode do on POSIX, so
  // a table replaced by another file of the same size and time still counts
  // as a new one.
  identity->device = info.dwVolumeSerialNumber;
  identity->inode = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  identity->size = (static_cast<int64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  // Counted from 1970 as on POSIX: the file time's 100 ns ticks since 1601,
  // taken to nanoseconds as they are, would not fit in 64 bits. Unsigned, so
  // that a clock set past 2262 wraps instead of overflowing; the value is
  // only ever compared.
  constexpr uint64_t kTicksFrom1601To1970 = 116444736000000000;
  const uint64_t ticks = (static_cast<uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) |
                         info.ftLastWriteTime.dwLowDateTime;
  identity->modified_ns = static_cast<int64_t>((ticks - kTicksFrom1601To1970) * 100);
  return true;
}

void* AllocateFixed(uint32_t size) { return GlobalAlloc(GMEM_FIXED, size); }


void FreeFixed(void* block) {
  if (block != nullptr) GlobalFree(block);
}

// Large pages need a privilege ordinary users lack.
void* AllocateLarge(size_t size) { return std::malloc(size); }

void FreeLarge(void* block) { std::free(block); }

}  // namespace kelditra
