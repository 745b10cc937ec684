#include "formats/pitch_track.h"

#include <cstring>

namespace kelditra {

int32_t FrameFundamental(const uint8_t* track, int32_t track_length, int32_t frame) {
  const int64_t offset = int64_t{kPitchRecordBytes} * frame + kPitchFundamentalOffset;
  const int32_t low = offset < track_length ? track[offset] : 0;
  const int32_t high = offset + 1 < track_length ? track[offset + 1] : 0;
  return low + 256 * high;
}

void StoreFundamentals(const std::vector<uint16_t>& track, uint8_t* records) {
  std::memset(records, 0, track.size() * kPitchRecordBytes);
  for (size_t frame = 0; frame < track.size(); ++frame) {
    uint8_t* field = records + frame * kPitchRecordBytes + kPitchFundamentalOffset;
    field[0] = static_cast<uint8_t>(track[frame] & 0xFF);
    field[1] = static_cast<uint8_t>(track[frame] >> 8);
  }
}

}  // namespace kelditra
