#include "io/platform_file.h"

#include <windows.h>

#include <cstring>

namespace {

HANDLE Handle(PlatformFile file) { return reinterpret_cast<HANDLE>(file.handle); }

}  // namespace

OpenStatus OpenForReading(const char* path, PlatformFile* file) {
  if (std::strlen(path) >= kMaxPathBytes) return OpenStatus::kFailed;

  // No sharing: a file someone else holds open cannot be read half-written.
  HANDLE handle = CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    // ERROR_PATH_NOT_FOUND is a missing folder on the way: not "not found".
    return GetLastError() == ERROR_FILE_NOT_FOUND ? OpenStatus::kNotFound : OpenStatus::kFailed;
  }
  if (GetFileType(handle) != FILE_TYPE_DISK) {
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

bool MayReplace(const char* path) {
  if (std::strlen(path) >= kMaxPathBytes) return false;
  const DWORD attributes = GetFileAttributesA(path);
  if (attributes == INVALID_FILE_ATTRIBUTES) return GetLastError() == ERROR_FILE_NOT_FOUND;
  if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0) return false;
  // Opening it for writing without sharing, and changing nothing, is how to
  // learn that no other program holds it open.
  HANDLE handle = CreateFileA(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const bool on_disk = GetFileType(handle) == FILE_TYPE_DISK;
  CloseHandle(handle);
  return on_disk;
}

CreateStatus CreateNewForWriting(const char* path, PlatformFile* file) {
  HANDLE handle = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS ? CreateStatus::kExists
                                                                        : CreateStatus::kFailed;
  }
  if (GetFileType(handle) != FILE_TYPE_DISK) {
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
  // Fails on a read-only target and on one held open elsewhere, as it should.
  return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool RemoveFile(const char* path) { return DeleteFileA(path) != 0; }

uint32_t ProcessId() { return GetCurrentProcessId(); }

bool IdentityOf(const char* path, FileIdentity* identity) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (std::strlen(path) >= kMaxPathBytes ||
      !GetFileAttributesExA(path, GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return false;
  }
  identity->size = (static_cast<int64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  identity->modified_ns = ((static_cast<int64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                           data.ftLastWriteTime.dwLowDateTime) * 100;
  return true;
}

void* AllocateFixed(uint32_t size) { return GlobalAlloc(GMEM_FIXED, size); }

void FreeFixed(void* block) {
  if (block != nullptr) GlobalFree(block);
}
