#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace kelditra {

// Standard base64 with padding, for data embedded in the report page.
std::string Base64(const uint8_t* bytes, size_t count);

}  // namespace kelditra
