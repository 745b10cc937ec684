#pragma once

#include <cstdint>
#include <string>

namespace kelditra {

// The system's own words for an error code a failure carries (errno, or
// GetLastError() on Windows), in UTF-8; empty when it has none.
std::string SystemErrorText(int64_t system_error);

// The folder part of a path, "." when it has none.
std::string FolderOf(const std::string& path);

bool IsFolder(const std::string& path);

}  // namespace kelditra
