#include "formats/pitch_track.h"

int32_t FrameFundamental(const uint8_t* track, int32_t track_length, int32_t frame) {
  const int64_t offset = int64_t{kPitchRecordBytes} * frame + kPitchFundamentalOffset;
  const int32_t low = offset < track_length ? track[offset] : 0;
  const int32_t high = offset + 1 < track_length ? track[offset + 1] : 0;
  return low + 256 * high;
}
