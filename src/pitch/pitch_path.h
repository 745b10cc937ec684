#pragma once

#include <vector>

#include "pitch/pitch_candidates.h"

namespace kelditra {

// What a path through the frames pays and earns. Strengths are earned, as
// the candidates' autocorrelations; the costs are paid per move between
// neighbouring frames, in the same units.
struct PathCosts {
  double ceiling_hz = 0;
  // What staying unvoiced earns in a frame that sounds: the least
  // periodicity a voiced frame must beat.
  double voicing_threshold = 0;
  // Below this share of the recording's peak, a frame earns more for being
  // unvoiced the quieter it is.
  double silence_threshold = 0;
  double octave_cost = 0;         // per octave down, favouring the higher candidate
  double octave_jump_cost = 0;    // per octave jumped between neighbouring frames
  double voiced_unvoiced_cost = 0;  // per switch between voiced and unvoiced
  double frame_step = 0;          // seconds between frames
};

// The one choice per frame that earns most over the whole recording: its
// fundamental in Hz, 0 where unvoiced.
std::vector<double> BestPitchPath(const std::vector<CandidateFrame>& frames,
                                  const PathCosts& costs);

}  // namespace kelditra
