#pragma once

#include <cstdint>
#include <string>

// Reads the parameter file and the voice table, and writes the preview.
// Returns the message text, empty on success. Every block it loads is back in
// the pool when it returns. *clipped counts the samples that had to be
// limited to 16 bits, *frames the records sounded.
std::string WritePreviewFile(const std::string& parameter_path, const std::string& preview_path,
                             const std::string& voice_table_path, int64_t* clipped,
                             int32_t* frames);

// The end of the message for a file no conversion could have written.
inline constexpr const char* kNotParameterFileSuffix = ": not a parameter file";
