#pragma once

#include <cstdint>
#include <string>

// The pitch tool's own outcome texts. Everything it shares with the
// conversion (a path that is not a WAV file, a file that cannot be read or is
// not 44100 Hz 16-bit mono, a failed write) uses the conversion's messages, so
// a user meets one wording for one problem.

// FILE.dat is left alone unless the user asks for it to be replaced.
inline std::string PitchTrackExistsText(const std::string& track_path) {
  return track_path + " already exists; --force replaces it";
}

// Names the method, so a user comparing two runs knows which one spoke.
inline std::string PitchTrackWrittenText(const std::string& track_path, int32_t frames,
                                         int32_t voiced, const char* method) {
  return "wrote " + track_path + ": " + std::to_string(frames) + " frames, " +
         std::to_string(voiced) + " voiced (" + method + ")";
}
