#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "io/failure.h"
#include "io/platform_file.h"

namespace kelditra {

// Reads the whole file at path into one pool block followed by extra zero
// bytes. *length is set once the file is open (also when allocation or
// reading then fails), *block once the pool has answered; neither is written
// when the open fails.
Failure LoadFile(const std::string& path, uint32_t extra, uint8_t** block, int32_t* length);

// Writes count bytes from block to path, replacing any file of that name;
// the old file stays whole when it fails (kWriteFailed, role kOutput).
Failure SaveFile(const void* block, uint32_t count, const std::string& path);

// Reads up to max_bytes from the start of the file at path into *head and
// sets *file_length to the whole file's length; false when it cannot be read.
// For looking at a header without loading what follows.
bool ReadFileHead(const std::string& path, uint32_t max_bytes, std::vector<uint8_t>* head,
                  int64_t* file_length);

// Hands bytes on to the file being written; false when they could not be written.
using ByteSink = std::function<bool(const void* bytes, uint32_t count)>;

enum class NewFileStatus { kWritten, kExists, kFailed };

// Writes a file that must not exist yet, for output too large to hold in
// memory at once: fill gets a sink and feeds it in parts. The file appears
// under path only whole, once fill returned true and everything reached the
// disk, and never in place of a file of that name (kExists, nothing written).
// On kFailed, *problem (when given) holds what stood in the way, where it
// was one the system named.
NewFileStatus WriteNewFile(const std::string& path, const std::function<bool(const ByteSink&)>& fill,
                           FileProblem* problem = nullptr);

}  // namespace kelditra
