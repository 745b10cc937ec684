#include "formats/wave_reader.h"

#include <algorithm>
#include <cstring>

#include "formats/byte_order.h"
#include "resources/messages.h"

namespace {

constexpr uint16_t kFormatPcm = 1;
constexpr uint32_t kRequiredSampleRate = 44100;

bool IdAt(const uint8_t* block, int64_t position, const char* id) {
  return std::memcmp(block + position, id, 4) == 0;
}

}  // namespace

int64_t FindChunk(const uint8_t* block, int64_t start, int64_t window_end, const char* id) {
  int64_t position = start;
  while (position < window_end) {
    if (IdAt(block, position, id)) return position;
    position += 8 + static_cast<int64_t>(ReadLittle32(block + position + 4));
  }
  return kChunkNotFound;
}

std::string ReadWave(const uint8_t* block, int32_t length, WaveSamples* samples) {
  const int64_t window_end = std::min<int64_t>(length, kWaveHeaderWindow);
  const std::string& unsupported = MessageText(MessageId::kUnsupportedWave);

  if (window_end < 16) return unsupported;
  int64_t mark = 4;
  while (mark < window_end && !IdAt(block, mark, "WAVE")) ++mark;
  if (mark == window_end) return unsupported;

  const int64_t format = FindChunk(block, mark + 4, window_end, "fmt ");
  if (format == kChunkNotFound) return unsupported;
  const int64_t data_search_start =
      format + 8 + static_cast<int64_t>(ReadLittle32(block + format + 4));
  const int64_t data = FindChunk(block, data_search_start, window_end, "data");
  if (data == kChunkNotFound) return unsupported;

  const uint16_t format_tag = ReadLittle16(block + format + 8);
  const uint16_t channels = ReadLittle16(block + format + 10);
  const uint32_t sample_rate = ReadLittle32(block + format + 12);
  const uint16_t bits_per_sample = ReadLittle16(block + format + 22);
  if (format_tag != kFormatPcm || (channels != 1 && channels != 2) ||
      (bits_per_sample != 8 && bits_per_sample != 16)) {
    return unsupported;
  }

  const int64_t declared_length = ReadLittle32(block + data + 4);
  const int64_t present_length = static_cast<int64_t>(length) - (data + 8);
  if (declared_length > present_length) return MessageText(MessageId::kBadDataLength);

  if (sample_rate != kRequiredSampleRate) return MessageText(MessageId::kNot44100Hz);
  if (bits_per_sample / 8 + 2 * channels != 4) return MessageText(MessageId::kNotMono16Bit);

  samples->data = block + data + 8;
  samples->count = static_cast<int32_t>(declared_length / (channels * bits_per_sample / 8));
  return {};
}
