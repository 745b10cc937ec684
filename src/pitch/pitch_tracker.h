#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Where the fundamental is looked for, and how periodic a frame has to be to
// count as voiced. The defaults cover speaking and singing voices and most
// melodic instruments.
struct PitchSettings {
  double min_hz = 60;
  double max_hz = 1000;
  // The most aperiodicity a voiced frame may show: the energy of the
  // difference between the frame and itself shifted by one period, over the
  // energy of the two. 0 is a perfectly repeating wave, about 1 is noise.
  double threshold = 0.3;
};

// How each frame's period is found. kYin is part of every build; kAubioYinFft
// only of builds that found the aubio library.
enum class PitchMethod { kYin, kAubioYinFft };

bool PitchMethodAvailable(PitchMethod method);

// The best method this build has.
PitchMethod PreferredPitchMethod();

// The name the command line uses: "yin" or "yinfft".
const char* PitchMethodName(PitchMethod method);

// Empty when the settings can be used, otherwise why not.
std::string CheckPitchSettings(const PitchSettings& settings);

// Samples (full scale ±1) at 44100 Hz to one fundamental per whole frame of
// 735 samples, in whole Hz, 0 for silent, noisy or otherwise unvoiced frames.
// The settings must have passed CheckPitchSettings and the method must be
// available.
std::vector<uint16_t> TrackPitch(const std::vector<float>& samples, const PitchSettings& settings,
                                 PitchMethod method);
