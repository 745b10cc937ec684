#include "pitch/pitch_path.h"

#include <array>
#include <cmath>
#include <cstdint>

#include "pitch/exact_math.h"

namespace kelditra {

namespace {

// Choice 0 of every frame is unvoiced; choices 1.. are its voiced candidates.
constexpr int32_t kMaxChoices = kMaxVoicedCandidates + 1;

// The per-move costs were set for moves 10 ms apart; a path with longer
// steps makes fewer moves and pays proportionally more for each.
constexpr double kCostStep = 0.01;

struct Choice {
  double hz = 0;      // 0: unvoiced
  double octave = 0;  // log2(hz) of a voiced choice
  double earned = 0;
};

struct FrameChoices {
  int32_t count = 0;
  std::array<Choice, kMaxChoices> choices;
};

FrameChoices ChoicesOf(const CandidateFrame& frame, const PathCosts& costs) {
  FrameChoices result;
  // A quiet frame earns more for silence: twice the threshold's worth at
  // no level, falling to nothing at the silence threshold (scaled by how
  // much above the voicing threshold a strength can reach).
  const double quietness =
      2 - frame.intensity / (costs.silence_threshold / (1 + costs.voicing_threshold));
  result.choices[0].earned = costs.voicing_threshold + std::max(0.0, quietness);
  result.count = 1;
  for (int32_t c = 0; c < frame.count; ++c) {
    const double hz = frame.voiced[c].hz;
    if (!(hz > 0 && hz < costs.ceiling_hz)) continue;
    Choice& choice = result.choices[result.count++];
    choice.hz = hz;
    choice.octave = Log2(hz);
    choice.earned = frame.voiced[c].strength - costs.octave_cost * Log2(costs.ceiling_hz / hz);
  }
  return result;
}

}  // namespace

std::vector<double> BestPitchPath(const std::vector<CandidateFrame>& frames,
                                  const PathCosts& costs) {
  const size_t count = frames.size();
  std::vector<double> path(count, 0);
  if (count == 0) return path;
  const double step_scale = kCostStep / costs.frame_step;
  const double jump_cost = costs.octave_jump_cost * step_scale;
  const double switch_cost = costs.voiced_unvoiced_cost * step_scale;

  // Viterbi: the best total up to each choice of the current frame, and for
  // every frame which choice of the frame before led there.
  std::vector<std::array<uint8_t, kMaxChoices>> came_from(count);
  FrameChoices previous = ChoicesOf(frames[0], costs);
  std::array<double, kMaxChoices> previous_total{};
  for (int32_t c = 0; c < previous.count; ++c) previous_total[c] = previous.choices[c].earned;

  for (size_t f = 1; f < count; ++f) {
    const FrameChoices current = ChoicesOf(frames[f], costs);
    std::array<double, kMaxChoices> total{};
    for (int32_t c = 0; c < current.count; ++c) {
      const Choice& here = current.choices[c];
      double best = -1e300;
      int32_t best_from = 0;
      for (int32_t p = 0; p < previous.count; ++p) {
        const Choice& there = previous.choices[p];
        double move = 0;
        if ((here.hz > 0) != (there.hz > 0)) {
          move = switch_cost;
        } else if (here.hz > 0) {
          move = jump_cost * std::abs(here.octave - there.octave);
        }
        const double value = previous_total[p] - move;
        if (value > best) {
          best = value;
          best_from = p;
        }
      }
      total[c] = best + here.earned;
      came_from[f][c] = static_cast<uint8_t>(best_from);
    }
    previous = current;
    previous_total = total;
  }

  int32_t choice = 0;
  for (int32_t c = 1; c < previous.count; ++c) {
    if (previous_total[c] > previous_total[choice]) choice = c;
  }
  for (size_t f = count; f-- > 0;) {
    // The choices are made again rather than kept: an hour holds 360,000 frames.
    path[f] = ChoicesOf(frames[f], costs).choices[choice].hz;
    choice = came_from[f][choice];
  }
  return path;
}

}  // namespace kelditra
