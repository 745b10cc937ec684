#pragma once

#include <cstdint>
#include <string>

// The bytes the loader appends behind a WAV file; the header search may read
// up to 23 of them.
inline constexpr uint32_t kWaveExtraBytes = 4096;

// The header search looks no further than this into the file.
inline constexpr int64_t kWaveHeaderWindow = 1024;

struct WaveSamples {
  const uint8_t* data = nullptr;  // little-endian signed 16-bit, mono, 44100 Hz
  int32_t count = 0;
};

inline constexpr int64_t kChunkNotFound = -1;

// Walks chunk headers from start while they begin before window_end; the
// position of the first whose id matches, or kChunkNotFound.
int64_t FindChunk(const uint8_t* block, int64_t start, int64_t window_end, const char* id);

// Finds the samples of a 44100 Hz 16-bit mono PCM file in a loaded block of
// length bytes (plus kWaveExtraBytes zero bytes). Returns the message text,
// empty on success.
std::string ReadWave(const uint8_t* block, int32_t length, WaveSamples* samples);
