#pragma once

#include <string>

// Why a file cannot be read, or written in its place, told so that a user can
// set it right. Asked after an operation failed: the operation itself never
// waits on these.
enum class FileProblemKind {
  kNone,
  kMissing,         // no such file, in a folder that exists
  kMissingFolder,   // a folder on the way does not exist
  kNotRegularFile,  // a folder, a device, a pipe
  kReadOnly,        // the file to be replaced has no write permission
  kPathTooLong,     // kMaxPathBytes or more, refused on every platform
  kSystem,          // what the system said, in reason
};

struct FileProblem {
  FileProblemKind kind = FileProblemKind::kNone;
  std::string reason;  // the system's own words, UTF-8; empty when it said none
};

FileProblem ProbeReading(const std::string& path);

// For a file to be created or replaced at path: the file in the way, if any,
// then the folder, by creating and removing a trial file in it.
FileProblem ProbeWriting(const std::string& path);

// The folder part of a path, "." when it has none.
std::string FolderOf(const std::string& path);

bool IsFolder(const std::string& path);
