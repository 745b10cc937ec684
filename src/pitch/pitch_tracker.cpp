#include "pitch/pitch_tracker.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "formats/sound_timing.h"
#include "pitch/pitch_candidates.h"
#include "pitch/pitch_path.h"

namespace kelditra {

namespace {

// The weights of the path, as in Boersma's autocorrelation tracker, whose
// defaults have served speech research for decades.
constexpr double kSilenceThreshold = 0.03;
constexpr double kOctaveCost = 0.01;
constexpr double kOctaveJumpCost = 0.35;
constexpr double kVoicedUnvoicedCost = 0.14;

constexpr double kLowestMinHz = 20;
// Three periods of the lowest pitch make the window, and the interpolation
// between lags reads 70 lags past the longest period: above this the window
// would be too short for both.
constexpr double kHighestMinHz = 1000;
constexpr double kHighestMaxHz = 5000;

// The path's fundamental at `time`: the nearest analysis frame decides
// whether the moment is voiced, and a voiced neighbour on the other side
// lends its share of a straight line between the two.
double PathValueAt(const std::vector<double>& path, const AnalysisGrid& grid, double time) {
  if (grid.count == 0) return 0;
  const double position = (time - grid.first_time) / grid.step;
  if (position < -0.5 || position > grid.count - 0.5) return 0;
  const auto left = static_cast<int32_t>(std::floor(position));
  double phase = position - left;
  int32_t near = left;
  int32_t far = left + 1;
  if (phase >= 0.5) {
    std::swap(near, far);
    phase = 1 - phase;
  }
  if (near < 0 || near >= grid.count || path[near] <= 0) return 0;
  if (far < 0 || far >= grid.count || path[far] <= 0) return path[near];
  return path[near] + phase * (path[far] - path[near]);
}

}  // namespace

std::string CheckPitchSettings(const PitchSettings& settings) {
  char text[160];
  if (!(settings.min_hz >= kLowestMinHz)) {
    std::snprintf(text, sizeof text, "the lowest fundamental must be at least %g Hz", kLowestMinHz);
    return text;
  }
  if (!(settings.min_hz <= kHighestMinHz)) {
    std::snprintf(text, sizeof text, "the lowest fundamental must be at most %g Hz", kHighestMinHz);
    return text;
  }
  if (!(settings.max_hz <= kHighestMaxHz)) {
    std::snprintf(text, sizeof text, "the highest fundamental must be at most %g Hz",
                  kHighestMaxHz);
    return text;
  }
  // Narrower than that, a period could not be pinned down between its
  // neighbours.
  if (!(settings.max_hz >= settings.min_hz * 1.1)) {
    return "the highest fundamental must lie at least 10% above the lowest";
  }
  if (!(settings.threshold > 0 && settings.threshold <= 1)) {
    return "the voicing threshold must lie above 0 and at most 1";
  }
  return "";
}

std::vector<uint16_t> TrackPitch(const std::vector<float>& samples, const PitchSettings& settings) {
  const double voicing_threshold = 1 - settings.threshold;
  const AnalysisGrid grid = GridFor(static_cast<int64_t>(samples.size()), settings.min_hz);
  const std::vector<CandidateFrame> frames = FindCandidates(
      samples, grid, {settings.min_hz, settings.max_hz, voicing_threshold, kOctaveCost});
  const std::vector<double> path =
      BestPitchPath(frames, {settings.max_hz, voicing_threshold, kSilenceThreshold, kOctaveCost,
                             kOctaveJumpCost, kVoicedUnvoicedCost, grid.step});

  std::vector<uint16_t> track(samples.size() / kFrameLength, 0);
  for (size_t f = 0; f < track.size(); ++f) {
    const double centre = (static_cast<double>(f) * kFrameLength + kFrameLength / 2.0) /
                          kSampleRate;
    const double hz = PathValueAt(path, grid, centre);
    if (hz > 0) track[f] = static_cast<uint16_t>(std::clamp(std::lround(hz), 1L, 65535L));
  }
  return track;
}

}  // namespace kelditra
