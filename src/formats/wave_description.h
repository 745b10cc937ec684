#pragma once

#include <cstdint>

// What a WAV file's header holds, read as far into the file as the bytes
// given reach rather than only the reader's 1024-byte window, so that a user
// can be told why a file was refused and what would make it acceptable.
struct WaveDescription {
  bool riff_wave = false;        // "RIFF" ... "WAVE" at the start
  int64_t format_chunk = -1;     // where the "fmt " chunk begins, -1 when not met
  int64_t data_chunk = -1;       // where the "data" chunk begins, -1 when not met
  uint16_t format_tag = 0;       // 1 PCM, 3 IEEE float, 0xFFFE extensible
  uint16_t channels = 0;
  uint32_t sample_rate = 0;
  uint16_t bits_per_sample = 0;
  int64_t declared_data_bytes = 0;
  int64_t present_data_bytes = 0;  // what the file holds after the data chunk's header
  // Samples of one channel the declared data holds (those present, when fewer).
  int64_t sample_frames = 0;

  // Where the samples start: the header's size.
  int64_t HeaderBytes() const { return data_chunk < 0 ? -1 : data_chunk + 8; }
};

// head: the first head_length bytes of a file of file_length bytes.
WaveDescription DescribeWave(const uint8_t* head, int64_t head_length, int64_t file_length);

// The format tag's usual name ("PCM", "IEEE float", ...), or nullptr.
const char* FormatTagName(uint16_t format_tag);
