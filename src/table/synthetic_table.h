#pragma once

#include <cstdint>
#include <vector>

namespace kelditra {

// The bytes of the synthetic voice table: every one of the 262,144 voices of
// the two-operator FM model (fm_voice_model.h) as the table file holds it,
// 128 little-endian 16-bit magnitudes each.
std::vector<uint8_t> SyntheticVoiceTable();

}  // namespace kelditra
