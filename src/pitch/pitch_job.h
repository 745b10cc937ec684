#pragma once

#include <string>

#include "pitch/pitch_tracker.h"

struct PitchJobSettings {
  PitchSettings pitch;
  PitchMethod method = PreferredPitchMethod();
  bool replace_existing = false;  // --force
};

// What one run made of one WAV file.
struct PitchJobOutcome {
  bool written = false;
  std::string message;  // for the user, success or not
};

// Makes the pitch track FILE.dat for FILE.wav, the path taken as the
// conversion takes it (trailing white space trimmed, ".wav" in any case).
// The WAV file must be one the conversion accepts, and an existing track is
// replaced only when asked. Every pool block is released on the way out.
PitchJobOutcome RunPitchJob(const std::string& wave_path, const PitchJobSettings& settings);
