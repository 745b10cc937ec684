#pragma once

#include <cstdint>
#include <string>

// Reads base_path + ".bin" and the voice table, and writes
// base_path + ".preview.wav". Returns the message text, empty on success.
// Every block it loads is back in the pool when it returns. *clipped counts
// the samples that had to be limited to 16 bits.
std::string WritePreviewFile(const std::string& base_path, const std::string& voice_table_path,
                             int64_t* clipped);
