#pragma once

#include <cstdint>
#include <string>

#include "pitch/pitch_tracker.h"
#include "prepare/prepare_failure.h"

namespace kelditra {

struct PrepareSettings {
  PitchSettings pitch;
  // Where the sound and its track go; empty: beside the recording.
  std::string output_folder;
};

// What one run made of one recording.
struct PrepareOutcome {
  PrepareFailure failure;
  // A WAV file the conversion reads already: only its track was made.
  bool taken_as_it_is = false;
  std::string wave_path;   // the WAV file to convert: the one written, or the recording itself
  std::string track_path;  // its pitch track
  int32_t source_rate = 0;
  int32_t source_channels = 0;
  int32_t silent_channels = 0;
  int64_t samples = 0;  // at 44100 Hz
  int64_t clipped = 0;  // samples beyond 16-bit full scale, set to it
  int32_t frames = 0;
  int32_t voiced_frames = 0;
};

// Makes a recording ready for the conversion: a 44100 Hz 16-bit mono WAV
// file (see PreparedWavePath) and its pitch track beside it, or only the
// track when the conversion reads the recording as it is. Never touches the
// recording and never replaces a file: a name already taken fails before
// anything is read, and a failure leaves nothing written.
PrepareOutcome RunPrepareJob(const std::string& recording_path, const PrepareSettings& settings);

}  // namespace kelditra
