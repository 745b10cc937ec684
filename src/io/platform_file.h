#pragma once

#include <cstddef>
#include <cstdint>

// The few file and memory operations the loader, the writer and the pool need,
// one implementation per platform. Paths are the platform's narrow strings
// (code page 932 on Windows, UTF-8 elsewhere).

// Paths this long or longer are refused without an attempt to open them, on
// every platform, so both builds answer a long path the same way.
inline constexpr size_t kMaxPathBytes = 260;

enum class OpenStatus { kOpened, kNotFound, kFailed };

struct PlatformFile {
  intptr_t handle = -1;
};

// Opens an existing regular file for reading, never blocking (a FIFO or a
// device is refused). kNotFound only when the file is missing from a folder
// that exists; a missing folder on the way is kFailed.
OpenStatus OpenForReading(const char* path, PlatformFile* file);

// The file's length in bytes, or -1 when the platform cannot tell.
int64_t LengthOf(PlatformFile file);

// Reads up to count bytes from the current position; the bytes read, or -1
// on a read error.
int64_t ReadFrom(PlatformFile file, void* buffer, uint32_t count);

// Creates or truncates a regular file for writing. Fails on a file without
// write permission for anyone, even for an all-powerful user, as a read-only
// file does on Windows.
bool CreateForWriting(const char* path, PlatformFile* file);

// Writes all count bytes; false when fewer were written.
bool WriteTo(PlatformFile file, const void* buffer, uint32_t count);

// false when the platform reports that closing failed (for a written file,
// its data may not have reached the disk).
bool CloseFile(PlatformFile file);

// Fixed memory for the pool; nullptr when the platform has none to give.
void* AllocateFixed(uint32_t size);
void FreeFixed(void* block);
