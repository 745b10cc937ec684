#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace kelditra {

// One analysis frame's view of the sound: how loud it is against the
// loudest moment of the recording, and the periods it could be repeating
// at, each with how well it repeats there.
struct PitchCandidate {
  float hz = 0;
  // The autocorrelation at the period, corrected for the window: 1 for a
  // wave that repeats exactly, near 0 for noise.
  float strength = 0;
};

inline constexpr int32_t kMaxVoicedCandidates = 14;

struct CandidateFrame {
  // The frame's peak amplitude near its centre over the recording's peak, 0..1.
  float intensity = 0;
  int32_t count = 0;
  std::array<PitchCandidate, kMaxVoicedCandidates> voiced;
};

// Where the analysis frames lie: `count` frames `step` seconds apart from
// `first_time`, each a window of `window` samples centred on its time.
struct AnalysisGrid {
  int32_t count = 0;
  double first_time = 0;
  double step = 0;
  int32_t window = 0;
};

// The frames fit inside the recording, centred in it, one step apart.
AnalysisGrid GridFor(int64_t sample_count, double floor_hz);

struct CandidateSettings {
  double floor_hz = 0;
  double ceiling_hz = 0;
  // Peaks weaker than half of this are not worth keeping as candidates.
  double voicing_threshold = 0;
  // Favours the higher of two otherwise equal candidates, per octave.
  double octave_cost = 0;
};

// Every frame of the grid with its strongest candidates (at most
// kMaxVoicedCandidates), samples at 44100 Hz.
std::vector<CandidateFrame> FindCandidates(const std::vector<float>& samples,
                                           const AnalysisGrid& grid,
                                           const CandidateSettings& settings);

}  // namespace kelditra
