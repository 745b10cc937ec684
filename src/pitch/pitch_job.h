#pragma once

#include <string>

#include "io/failure.h"
#include "pitch/pitch_tracker.h"

namespace kelditra {

struct PitchJobSettings {
  PitchSettings pitch;
  bool replace_existing = false;  // --force
  // Where the track goes; empty: beside the WAV file.
  std::string output_folder;
};

// What one run made of one WAV file.
struct PitchJobOutcome {
  bool written = false;
  // An existing track was left as it is, as asked (no --force).
  bool kept_existing = false;
  Failure failure;         // the conversion's refusals, and the track's write
  std::string track_path;  // once the WAV file has been read
  int32_t frames = 0;
  int32_t voiced_frames = 0;
};

// Makes the pitch track FILE.dat for FILE.wav, the path taken as the
// conversion takes it (trailing white space trimmed, ".wav" in any case).
// The WAV file must be one the conversion accepts, and an existing track is
// replaced only when asked. The pitch tool shares the conversion's refusals,
// so a user meets one wording for one problem. Every pool block is released on the way out.
PitchJobOutcome RunPitchJob(const std::string& wave_path, const PitchJobSettings& settings);

}  // namespace kelditra
