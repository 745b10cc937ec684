#include "formats/wave_description.h"

#include <algorithm>
#include <cstring>

#include "formats/byte_order.h"

namespace {

bool IdAt(const uint8_t* head, int64_t head_length, int64_t position, const char* id) {
  return position + 4 <= head_length && std::memcmp(head + position, id, 4) == 0;
}

}  // namespace

WaveDescription DescribeWave(const uint8_t* head, int64_t head_length, int64_t file_length) {
  WaveDescription found;
  found.riff_wave = IdAt(head, head_length, 0, "RIFF") && IdAt(head, head_length, 8, "WAVE");
  if (!found.riff_wave) return found;
  // Every chunk whose header the bytes hold, in order; a chunk's size is
  // padded to an even count only by writers that follow the letter, which
  // the reader does not, so neither does this walk.
  for (int64_t position = 12; position + 8 <= head_length;
       position += 8 + static_cast<int64_t>(ReadLittle32(head + position + 4))) {
    if (found.format_chunk < 0 && IdAt(head, head_length, position, "fmt ") &&
        position + 24 <= head_length) {
      found.format_chunk = position;
      found.format_tag = ReadLittle16(head + position + 8);
      found.channels = ReadLittle16(head + position + 10);
      found.sample_rate = ReadLittle32(head + position + 12);
      found.bits_per_sample = ReadLittle16(head + position + 22);
    } else if (found.format_chunk >= 0 && IdAt(head, head_length, position, "data")) {
      found.data_chunk = position;
      found.declared_data_bytes = ReadLittle32(head + position + 4);
      found.present_data_bytes = std::max<int64_t>(0, file_length - (position + 8));
      const int64_t frame_bytes = int64_t{found.channels} * ((found.bits_per_sample + 7) / 8);
      if (frame_bytes > 0) {
        found.sample_frames =
            std::min(found.declared_data_bytes, found.present_data_bytes) / frame_bytes;
      }
      break;
    }
  }
  return found;
}

const char* FormatTagName(uint16_t format_tag) {
  switch (format_tag) {
    case 1:
      return "PCM";
    case 2:
      return "ADPCM";
    case 3:
      return "IEEE float";
    case 6:
      return "A-law";
    case 7:
      return "mu-law";
    case 0xFFFE:
      return "extensible";
  }
  return nullptr;
}
