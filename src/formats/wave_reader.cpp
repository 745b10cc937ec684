#include "formats/wave_reader.h"

#include <algorithm>
#include <cstring>

#include "formats/byte_order.h"
#include "formats/sound_timing.h"

namespace kelditra {

namespace {

constexpr uint16_t kFormatPcm = 1;

bool IdAt(const uint8_t* bytes, int64_t position, const char* id) {
  return std::memcmp(bytes + position, id, 4) == 0;
}

Failure Refused(FailureKind kind, const uint8_t* block, int32_t length) {
  Failure failure;
  failure.kind = kind;
  failure.file_length = length;
  failure.wave = DescribeWave(block, std::min<int64_t>(length, kWaveDescribedBytes), length);
  return failure;
}

}  // namespace

WaveChunks FindChunks(const uint8_t* bytes, int64_t length, RiffRules rules) {
  const bool strict = rules == RiffRules::kStrict;
  WaveChunks found;
  int64_t position = 0;
  int64_t headers_end = 0;  // a chunk header is taken only when it starts before this
  if (strict) {
    headers_end = std::min(length, kWaveHeaderWindow);
    if (headers_end < 16) return found;
    int64_t mark = 4;
    while (mark < headers_end && !IdAt(bytes, mark, "WAVE")) ++mark;
    if (mark == headers_end) return found;
    position = mark + 4;
  } else {
    if (length < 12 || !IdAt(bytes, 0, "RIFF") || !IdAt(bytes, 8, "WAVE")) return found;
    position = 12;
    headers_end = length - 7;
  }
  found.wave_mark = true;
  for (; position < headers_end;
       position += 8 + static_cast<int64_t>(ReadLittle32(bytes + position + 4))) {
    if (found.format < 0) {
      if (IdAt(bytes, position, "fmt ") && (strict || position + 24 <= length)) {
        found.format = position;
      }
    } else if (IdAt(bytes, position, "data")) {
      found.data = position;
      break;
    }
  }
  return found;
}

Failure ReadWave(const uint8_t* block, int32_t length, WaveSamples* samples) {
  const WaveChunks chunks = FindChunks(block, length, RiffRules::kStrict);
  if (chunks.data < 0) return Refused(FailureKind::kUnsupportedWave, block, length);

  const uint8_t* format = block + chunks.format;
  const uint16_t format_tag = ReadLittle16(format + 8);
  const uint16_t channels = ReadLittle16(format + 10);
  const uint32_t sample_rate = ReadLittle32(format + 12);
  const uint16_t bits_per_sample = ReadLittle16(format + 22);
  if (format_tag != kFormatPcm || (channels != 1 && channels != 2) ||
      (bits_per_sample != 8 && bits_per_sample != 16)) {
    return Refused(FailureKind::kUnsupportedWave, block, length);
  }

  const int64_t declared_length = ReadLittle32(block + chunks.data + 4);
  const int64_t present_length = static_cast<int64_t>(length) - (chunks.data + 8);
  if (declared_length > present_length) return Refused(FailureKind::kBadDataLength, block, length);

  if (sample_rate != static_cast<uint32_t>(kSampleRate)) return Refused(FailureKind::kNot44100Hz, block, length);
  if (bits_per_sample / 8 + 2 * channels != 4) {
    return Refused(FailureKind::kNotMono16Bit, block, length);
  }

  samples->data = block + chunks.data + 8;
  samples->count = static_cast<int32_t>(declared_length / (channels * bits_per_sample / 8));
  return {};
}

WaveDescription DescribeWave(const uint8_t* head, int64_t head_length, int64_t file_length) {
  WaveDescription found;
  found.bytes_looked = head_length;
  const WaveChunks chunks = FindChunks(head, head_length, RiffRules::kDescribing);
  found.riff_wave = chunks.wave_mark;
  if (chunks.format >= 0) {
    const uint8_t* format = head + chunks.format;
    found.format_chunk = chunks.format;
    found.format_tag = ReadLittle16(format + 8);
    found.channels = ReadLittle16(format + 10);
    found.sample_rate = ReadLittle32(format + 12);
    found.bits_per_sample = ReadLittle16(format + 22);
  }
  if (chunks.data >= 0) {
    found.data_chunk = chunks.data;
    found.declared_data_bytes = ReadLittle32(head + chunks.data + 4);
    found.present_data_bytes = std::max<int64_t>(0, file_length - (chunks.data + 8));
    const int64_t frame_bytes = int64_t{found.channels} * ((found.bits_per_sample + 7) / 8);
    if (frame_bytes > 0) {
      found.sample_frames =
          std::min(found.declared_data_bytes, found.present_data_bytes) / frame_bytes;
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

}  // namespace kelditra
