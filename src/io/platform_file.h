#pragma once

#include <cstddef>
#include <cstdint>

#include "io/failure.h"

namespace kelditra {

// The few file and memory operations the loader, the writer and the pool need,
// one implementation per platform. Paths are UTF-8 on every platform; Windows
// gets them as UTF-16, so a name reaches its own file whatever the user's code
// page.

// Paths this long or longer are refused without an attempt to open them, on
// every platform, so both builds answer a long path the same way.
inline constexpr size_t kMaxPathBytes = 260;

// What ends the folder part of a path. No byte of a UTF-8 sequence for
// another character equals one of these.
#ifdef _WIN32
inline constexpr const char* kFolderSeparators = "\\/:";
#else
inline constexpr const char* kFolderSeparators = "/";
#endif

enum class OpenStatus { kOpened, kNotFound, kFailed };

// Why an open or a replacement was refused, as the system told it then.
struct FileProblem {
  FileProblemKind kind = FileProblemKind::kNone;
  int64_t system_error = 0;
};

struct PlatformFile {
  intptr_t handle = -1;
};

// Opens an existing regular file for reading, never blocking (a FIFO or a
// device is refused). kNotFound only when the file is missing from a folder
// that exists; a missing folder on the way is kFailed. On kFailed, *problem
// (when given) says why.
OpenStatus OpenForReading(const char* path, PlatformFile* file, FileProblem* problem = nullptr);

// The file's length in bytes, or -1 when the platform cannot tell.
int64_t LengthOf(PlatformFile file);

// Reads up to count bytes from the current position; the bytes read, or -1
// on a read error.
int64_t ReadFrom(PlatformFile file, void* buffer, uint32_t count);

// What keeps a file at path from being replaced; kind kNone when there is no
// file (in a folder that exists or not; creating the new file will tell) or
// when it may be. Anything but a regular file is refused, so is a file
// without write permission for anyone (even for an all-powerful user, as a
// read-only file is on Windows) and, on Windows, a file another program
// holds open.
FileProblem ReplacementProblem(const char* path);

enum class CreateStatus { kCreated, kExists, kFailed };

// Creates a new regular file for writing and never opens an existing one:
// kExists when something of that name is already there, so two writers can
// never share a file. On kFailed, *problem says why.
CreateStatus CreateNewForWriting(const char* path, PlatformFile* file, FileProblem* problem);

// Writes all count bytes; false when fewer were written.
bool WriteTo(PlatformFile file, const void* buffer, uint32_t count);

// Waits until what was written has reached the device; false on a device
// error that the writes themselves did not report.
bool FlushToDisk(PlatformFile file);

// false when the platform reports that closing failed (for a written file,
// its data may not have reached the disk).
bool CloseFile(PlatformFile file);

// Puts the file at from in the place of to in one step, replacing a file of
// that name (keeping its permissions on POSIX): a reader sees the old file
// or the new one, never a part of either. Both lie in the same folder.
bool MoveOver(const char* from, const char* to);

// Gives the file at from the name to only when nothing has that name yet:
// kExists, and from left as it is, when something does. Both lie in the
// same folder.
CreateStatus MoveToFreeName(const char* from, const char* to);

bool RemoveFile(const char* path);

// Tells processes apart in names that must not collide between them.
uint32_t ProcessId();

// What tells one version of a file from another without reading it: a file
// rewritten or replaced in place gets a new identity.
struct FileIdentity {
  uint64_t device = 0;
  uint64_t inode = 0;
  int64_t size = -1;
  int64_t modified_ns = 0;
  bool operator==(const FileIdentity&) const = default;
};

// false when there is no regular file at path.
bool IdentityOf(const char* path, FileIdentity* identity);

// Fixed memory for the pool; nullptr when the platform has none to give.
void* AllocateFixed(uint32_t size);
void FreeFixed(void* block);

// A block of many megabytes that is about to be filled, backed by large pages
// where the platform gives them: a voice table's layout otherwise takes tens
// of thousands of page faults, a good part of a short conversion's time. The
// block behaves the same either way. nullptr when there is no memory.
void* AllocateLarge(size_t size);
void FreeLarge(void* block);

}  // namespace kelditra
