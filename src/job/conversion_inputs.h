#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "analysis/prepared_table.h"
#include "formats/wave_reader.h"
#include "io/failure.h"
#include "io/platform_file.h"

namespace kelditra {

class KeptVoiceTable;

// The voice table of one job: the table a batch kept, or the file loaded
// into a pool block, prepared once the job gets that far.
struct VoiceTableInput {
  std::string path;
  KeptVoiceTable* kept = nullptr;
  FileIdentity identity;  // size -1: not known, nothing kept
  PreparedTable* prepared = nullptr;
  uint8_t* block = nullptr;
};

// Finds a kept table for path, or loads the file whole (the conversion's
// first load, with its refusals).
Failure LoadVoiceTable(const std::string& path, KeptVoiceTable* kept, VoiceTableInput* table);

// The table to search: the kept one, or the loaded block prepared in place
// (and handed to the batch's keeping, when it keeps tables). fresh holds a
// table nobody keeps; it must outlive the returned table's use.
PreparedTable& PrepareLoadedTable(VoiceTableInput* table, std::unique_ptr<PreparedTable>* fresh);

// The inputs of one conversion, loaded and checked in the conversion's order
// and with its refusals: voice table, pitch track, WAV file. Every block is
// in the pool, which the caller releases.
struct ConversionInputs {
  VoiceTableInput table;
  uint8_t* pitch_track = nullptr;
  int32_t pitch_track_length = 0;
  WaveSamples samples;
  int32_t frame_count = 0;  // whole frames of the sound
};

// What a conversion's inputs were measured to hold, for a front end to
// report and to warn of: -1 where not known.
struct SoundCounts {
  int64_t samples = -1;        // of the sound
  int32_t frames = -1;         // whole frames of it, one record each
  int32_t voiced_frames = -1;  // those with a fundamental in the pitch track
  int64_t track_frames = -1;   // whole records of the pitch track
};

SoundCounts CountSound(const ConversionInputs& inputs);

Failure LoadConversionInputs(const std::string& wave_path, const std::string& pitch_track_path,
                                 const std::string& table_path, KeptVoiceTable* kept,
                                 ConversionInputs* inputs);

}  // namespace kelditra
