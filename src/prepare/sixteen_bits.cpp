#include "prepare/sixteen_bits.h"

#include <cmath>

namespace kelditra {

int64_t RoundToSixteenBits(std::vector<float>* samples) {
  int64_t clipped = 0;
  for (float& sample : *samples) {
    float value = std::nearbyint(sample * 32768.0f);
    if (!(value <= 32767.0f && value >= -32768.0f)) {  // a NaN too
      value = value > 0 ? 32767.0f : -32768.0f;
      ++clipped;
    }
    sample = value / 32768.0f;
  }
  return clipped;
}

}  // namespace kelditra
