#pragma once

#include <cstdint>
#include <vector>

namespace kelditra {

// Rounds every sample (full scale ±1) to the nearest 16-bit value, ×32768,
// setting those beyond full scale to -32768 or 32767, and leaves in its
// place exactly what that 16-bit value reads back as, so that what is made
// from the samples afterwards (the pitch track) is made from what the WAV
// file holds. Returns how many were clipped.
int64_t RoundToSixteenBits(std::vector<float>* samples);

// A sample that RoundToSixteenBits left, as the 16-bit value it stands for.
inline int16_t SixteenBitValue(float rounded) { return static_cast<int16_t>(rounded * 32768.0f); }

}  // namespace kelditra
