#pragma once

#include <cstdint>
#include <vector>

namespace kelditra {

// The canonical 44-byte header of a 16-bit mono PCM WAV file of
// sample_count samples at rate.
std::vector<uint8_t> MonoWaveHeader(uint32_t sample_count, uint32_t rate);

// The bytes of a 16-bit mono PCM WAV file holding samples at rate: the
// canonical 44-byte header, then the samples, little-endian.
std::vector<uint8_t> MonoWaveBytes(const std::vector<int16_t>& samples, uint32_t rate);

}  // namespace kelditra
