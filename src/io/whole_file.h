#pragma once

#include <cstdint>
#include <string>

#include "io/failure.h"

// Reads the whole file at path into one pool block followed by extra zero
// bytes. *length is set once the file is open (also when allocation or
// reading then fails), *block once the pool has answered; neither is written
// when the open fails.
Failure LoadFile(const std::string& path, uint32_t extra, uint8_t** block, int32_t* length);

// Writes count bytes from block to path, replacing any file of that name;
// the old file stays whole when it fails (kWriteFailed, role kOutput).
Failure SaveFile(const void* block, uint32_t count, const std::string& path);
