#pragma once

#include <cstdint>

#include "io/failure.h"

namespace kelditra {

// The bytes the loader appends behind a WAV file; the header search may read
// up to 23 of them.
inline constexpr uint32_t kWaveExtraBytes = 4096;

// The conversion's header search looks no further than this into the file.
inline constexpr int64_t kWaveHeaderWindow = 1024;

// How far into a refused file the description looks: enough for any header a
// recorder writes, and far past the reader's window.
inline constexpr int64_t kWaveDescribedBytes = 65536;

// The two ways of walking a WAV file's chunks.
enum class RiffRules {
  // The conversion's: "WAVE" searched byte by byte from offset 4, then chunk
  // headers taken while they begin inside the first kWaveHeaderWindow bytes;
  // what a header reads past the file is the loader's zero bytes.
  kStrict,
  // The description's: "RIFF" at 0 and "WAVE" at 8, then every chunk whose
  // header lies wholly in the bytes given; a "fmt " chunk counts only when
  // its fields do too.
  kDescribing,
};

struct WaveChunks {
  bool wave_mark = false;  // the start the rules ask for was there
  int64_t format = -1;     // the first "fmt " chunk, -1 when not met
  int64_t data = -1;       // the first "data" chunk after it, -1 when not met
};

// The one walk over a WAV file's chunks. A chunk's size is padded to an even
// count only by writers that follow the letter, which the conversion's reader
// does not, so neither does the walk.
WaveChunks FindChunks(const uint8_t* bytes, int64_t length, RiffRules rules);

struct WaveSamples {
  const uint8_t* data = nullptr;  // little-endian signed 16-bit, mono, 44100 Hz
  int32_t count = 0;
};

// Finds the samples of a 44100 Hz 16-bit mono PCM file in a loaded block of
// length bytes (plus kWaveExtraBytes zero bytes). A refusal carries what the
// header holds; its path is the caller's to fill in.
Failure ReadWave(const uint8_t* block, int32_t length, WaveSamples* samples);

// What the first bytes of a file of file_length bytes hold, walked with the
// describing rules.
WaveDescription DescribeWave(const uint8_t* head, int64_t head_length, int64_t file_length);

// The format tag's usual name ("PCM", "IEEE float", ...), or nullptr.
const char* FormatTagName(uint16_t format_tag);

}  // namespace kelditra
