#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Standard base64 with padding, for data embedded in the report page.
std::string Base64(const uint8_t* bytes, size_t count);
