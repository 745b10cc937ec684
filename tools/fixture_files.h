#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kelditra {

// Writers of the program's input files, for tests, benchmarks and the demo.
// Each returns false when the file could not be written.

// A canonical 44-byte-header PCM WAV file: 44100 Hz, 16-bit, mono.
bool WriteMonoWave(const std::string& path, const std::vector<int16_t>& samples);

// Any bytes, written whole.
bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadBytes(const std::string& path);

// One 66-byte record per frame, the fundamental at offset 2, the rest zero.
bool WritePitchTrack(const std::string& path, const std::vector<uint16_t>& fundamentals);

// A raw voice table entry: 128 magnitudes.
using RawEntry = std::vector<uint16_t>;

// Writes a full 262,144-entry table: entries from make_entry(voice), as
// little-endian 16-bit values, streamed so the table never sits in memory twice.
template <typename MakeEntry>
bool WriteVoiceTable(const std::string& path, MakeEntry make_entry);

// The little-endian bytes of one raw entry, appended to out.
void AppendEntryBytes(const RawEntry& entry, std::vector<uint8_t>* out);

}  // namespace kelditra

#include "fixture_files_inl.h"
