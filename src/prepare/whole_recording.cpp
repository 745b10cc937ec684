#include "prepare/whole_recording.h"

#include <cstring>

#include "formats/wave_reader.h"

namespace kelditra {

bool OggTailEndsStream(const uint8_t* tail, size_t size) {
  constexpr size_t kPageHeaderBytes = 27;
  constexpr uint8_t kEndOfStream = 0x04;
  // The last page that ends exactly where the file does.
  for (size_t at = size >= kPageHeaderBytes ? size - kPageHeaderBytes + 1 : 0; at-- > 0;) {
    if (std::memcmp(tail + at, "OggS", 4) != 0) continue;
    const size_t segments = tail[at + 26];
    if (at + kPageHeaderBytes + segments > size) continue;
    size_t body = 0;
    for (size_t i = 0; i < segments; ++i) body += tail[at + kPageHeaderBytes + i];
    if (at + kPageHeaderBytes + segments + body == size) return (tail[at + 5] & kEndOfStream) != 0;
  }
  return false;
}

bool WaveHeadHoldsItsData(const uint8_t* head, int64_t head_length, int64_t file_length) {
  const WaveDescription found = DescribeWave(head, head_length, file_length);
  if (!found.riff_wave || found.data_chunk < 0 || found.declared_data_bytes == 0 ||
      found.declared_data_bytes == 0xFFFFFFFF) {
    return true;
  }
  return found.present_data_bytes >= found.declared_data_bytes;
}

}  // namespace kelditra
