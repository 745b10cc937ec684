#include "pitch/pitch_candidates.h"

#include <algorithm>
#include <cmath>

#include "formats/sound_timing.h"
#include "pitch/autocorrelation.h"
#include "pitch/exact_math.h"
#include "pitch/pitch_tracker.h"

namespace kelditra {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Three periods of the lowest pitch: enough for the autocorrelation to show
// a clear peak at one period, short enough to follow a voice's movement.
constexpr double kPeriodsPerWindow = 3;
// A frame whose peak stays within a few steps of 16 bits holds dither or
// hiss, whatever the rest of the recording does.
constexpr double kAbsoluteFloor = 4.0 / 32768;
// Samples on each side that the interpolation between lags reads.
constexpr int32_t kSincDepth = 70;
// Golden-section steps: the bracket of two lags shrinks to 1e-4 of a lag.
constexpr int32_t kRefineSteps = 20;

// The autocorrelation between whole lags, read through a windowed sinc: a
// parabola through three lags flattens a sharp peak, and a candidate's
// strength decides against its rivals by hundredths. The autocorrelation is
// even, so a lag below 0 reads its mirror.
double InterpolatedCorrelation(const std::vector<double>& r, double lag) {
  const auto left = static_cast<int32_t>(std::floor(lag));
  const double fraction = lag - left;
  if (fraction == 0) return r[left];
  const double sine = SineOfHalfTurn(fraction);  // |sin(pi (lag - i))| for every i
  double sum = 0;
  for (int32_t i = left - kSincDepth + 1; i <= left + kSincDepth; ++i) {
    const double distance = lag - i;
    const double taper = 1 - (distance / (kSincDepth + 1)) * (distance / (kSincDepth + 1));
    const double sinc = ((left - i) % 2 == 0 ? sine : -sine) / (kPi * distance);
    sum += r[std::abs(i)] * sinc * taper * taper;
  }
  return sum;
}

// The window correction can lift a peak past 1; reflecting it keeps such a
// peak from outranking one that truly repeats.
double Reflected(double strength) { return strength > 1 ? 1 / strength : strength; }

struct Peak {
  double lag = 0;
  double value = 0;
};

// The highest point of the interpolated autocorrelation within a lag of `lag`.
Peak RefinePeak(const std::vector<double>& r, int32_t lag) {
  constexpr double kGolden = 0.6180339887498949;
  double low = lag - 1;
  double high = lag + 1;
  double inner_low = high - kGolden * (high - low);
  double inner_high = low + kGolden * (high - low);
  double value_low = InterpolatedCorrelation(r, inner_low);
  double value_high = InterpolatedCorrelation(r, inner_high);
  for (int32_t step = 0; step < kRefineSteps; ++step) {
    if (value_low >= value_high) {
      high = inner_high;
      inner_high = inner_low;
      value_high = value_low;
      inner_low = high - kGolden * (high - low);
      value_low = InterpolatedCorrelation(r, inner_low);
    } else {
      low = inner_low;
      inner_low = inner_high;
      value_low = value_high;
      inner_high = low + kGolden * (high - low);
      value_high = InterpolatedCorrelation(r, inner_high);
    }
  }
  return value_low >= value_high ? Peak{inner_low, value_low} : Peak{inner_high, value_high};
}

struct Level {
  double mean = 0;
  double peak = 0;  // the largest distance from the mean
};

Level LevelOf(const std::vector<float>& samples) {
  Level level;
  for (const float sample : samples) level.mean += sample;
  if (!samples.empty()) level.mean /= static_cast<double>(samples.size());
  for (const float sample : samples) level.peak = std::max(level.peak, std::abs(sample - level.mean));
  return level;
}

// Hann, zero just outside both ends rather than at them, so that every
// sample of the window counts.
std::vector<double> HannWindow(int32_t length) {
  std::vector<double> window(static_cast<size_t>(length));
  for (int32_t j = 0; j < length; ++j) window[j] = 0.5 - 0.5 * CosineOfTurn(j + 1, length + 1);
  return window;
}

class FrameAnalyser {
 public:
  FrameAnalyser(const std::vector<float>& samples, const AnalysisGrid& grid,
                const CandidateSettings& settings)
      : samples_(samples),
        grid_(grid),
        settings_(settings),
        global_(LevelOf(samples)),
        period_(static_cast<int32_t>(grid.window / kPeriodsPerWindow)),
        min_lag_(std::max(2, static_cast<int32_t>(kSampleRate / settings.ceiling_hz))),
        max_lag_(std::min(period_ + 2, grid.window / 2)),
        window_(HannWindow(grid.window)),
        correlator_(grid.window, max_lag_ + kSincDepth + 2) {
    // The window's own autocorrelation: dividing by it undoes the taper's
    // pull towards short lags.
    std::vector<double> window = window_;
    std::vector<double> unused(window.size(), 0.0);
    correlator_.Correlate(&window, &unused);
    window_correlation_.assign(window.begin(), window.begin() + max_lag_ + kSincDepth + 2);
    for (double& value : window_correlation_) value /= window[0];
  }

  void Analyse(int32_t first, int32_t second, CandidateFrame* first_frame,
               CandidateFrame* second_frame) {
    const bool first_sounds = Fill(first, &first_buffer_, first_frame);
    const bool second_sounds = second >= 0 && Fill(second, &second_buffer_, second_frame);
    if (!first_sounds && !second_sounds) return;
    if (!second_sounds) std::fill(second_buffer_.begin(), second_buffer_.end(), 0.0);
    if (!first_sounds) std::fill(first_buffer_.begin(), first_buffer_.end(), 0.0);
    correlator_.Correlate(&first_buffer_, &second_buffer_);
    if (first_sounds) Pick(first_buffer_, first_frame);
    if (second_sounds) Pick(second_buffer_, second_frame);
  }

 private:
  int64_t Sample(int64_t at) const {
    return std::clamp<int64_t>(at, 0, static_cast<int64_t>(samples_.size()) - 1);
  }

  // The frame's samples, less their local mean, under the window; false
  // when there is nothing to correlate.
  bool Fill(int32_t index, std::vector<double>* buffer, CandidateFrame* frame) {
    const double time = grid_.first_time + index * grid_.step;
    const int64_t left = static_cast<int64_t>(std::floor(time * kSampleRate - 0.5));
    // The mean over a longest period to either side: slow drift and a DC
    // offset would otherwise read as correlation at every lag.
    double mean = 0;
    for (int64_t at = left + 1 - period_; at <= left + period_; ++at) mean += samples_[Sample(at)];
    mean /= 2 * period_;

    buffer->resize(static_cast<size_t>(grid_.window));
    const int64_t start = left + 1 - grid_.window / 2;
    for (int32_t j = 0; j < grid_.window; ++j) {
      (*buffer)[j] = (samples_[Sample(start + j)] - mean) * window_[j];
    }
    // The level is taken near the centre only, half a period each way, so
    // a loud neighbour at the window's edge does not lend a quiet frame its
    // loudness.
    double peak = 0;
    const int32_t from = std::max(0, grid_.window / 2 - period_ / 2);
    const int32_t to = std::min(grid_.window, grid_.window / 2 + period_ / 2 + 1);
    for (int32_t j = from; j < to; ++j) peak = std::max(peak, std::abs((*buffer)[j]));
    frame->intensity = global_.peak > 0 ? static_cast<float>(std::min(1.0, peak / global_.peak)) : 0;
    frame->count = 0;
    return peak > kAbsoluteFloor;
  }

  double Ranking(const PitchCandidate& candidate) const {
    return candidate.strength + settings_.octave_cost * Log2(candidate.hz / settings_.floor_hz);
  }

  void Offer(const PitchCandidate& candidate, CandidateFrame* frame) const {
    if (frame->count < kMaxVoicedCandidates) {
      frame->voiced[frame->count++] = candidate;
      return;
    }
    int32_t weakest = 0;
    for (int32_t c = 1; c < frame->count; ++c) {
      if (Ranking(frame->voiced[c]) < Ranking(frame->voiced[weakest])) weakest = c;
    }
    if (Ranking(candidate) > Ranking(frame->voiced[weakest])) frame->voiced[weakest] = candidate;
  }

  void Pick(const std::vector<double>& correlation, CandidateFrame* frame) {
    if (!(correlation[0] > 0)) return;
    normalised_.resize(window_correlation_.size());
    for (size_t lag = 0; lag < normalised_.size(); ++lag) {
      normalised_[lag] = correlation[lag] / (correlation[0] * window_correlation_[lag]);
    }
    const std::vector<double>& r = normalised_;
    for (int32_t lag = min_lag_; lag <= max_lag_; ++lag) {
      if (!(r[lag] > 0.5 * settings_.voicing_threshold && r[lag] > r[lag - 1] &&
            r[lag] >= r[lag + 1])) {
        continue;
      }
      // The vertex of the parabola through the peak and its neighbours
      // ranks it; the kept ones are pinned down below.
      const double slope = 0.5 * (r[lag + 1] - r[lag - 1]);
      const double curvature = 2 * r[lag] - r[lag - 1] - r[lag + 1];
      const double period = lag + slope / curvature;
      const double strength = Reflected(r[lag] + 0.5 * slope * slope / curvature);
      Offer({static_cast<float>(kSampleRate / period), static_cast<float>(strength)}, frame);
    }
    for (int32_t c = 0; c < frame->count; ++c) {
      PitchCandidate& candidate = frame->voiced[c];
      const Peak peak = RefinePeak(r, static_cast<int32_t>(std::lround(kSampleRate / candidate.hz)));
      candidate = {static_cast<float>(kSampleRate / peak.lag), static_cast<float>(Reflected(peak.value))};
    }
  }

  const std::vector<float>& samples_;
  AnalysisGrid grid_;
  CandidateSettings settings_;
  Level global_;
  int32_t period_;  // the longest period, in samples
  int32_t min_lag_;
  int32_t max_lag_;
  std::vector<double> window_;
  Autocorrelator correlator_;
  std::vector<double> window_correlation_;
  std::vector<double> first_buffer_;
  std::vector<double> second_buffer_;
  std::vector<double> normalised_;
};

}  // namespace

AnalysisGrid GridFor(int64_t sample_count, double floor_hz) {
  AnalysisGrid grid;
  grid.window = static_cast<int32_t>(kPeriodsPerWindow / floor_hz * kSampleRate) / 2 * 2;
  grid.step = kPeriodsPerWindow / 4 / floor_hz;
  const double duration = static_cast<double>(sample_count) / kSampleRate;
  const double window_seconds = static_cast<double>(grid.window) / kSampleRate;
  if (duration < window_seconds) return grid;
  grid.count = static_cast<int32_t>(std::floor((duration - window_seconds) / grid.step)) + 1;
  grid.first_time = duration / 2 - (grid.count - 1) * grid.step / 2;
  return grid;
}

std::vector<CandidateFrame> FindCandidates(const std::vector<float>& samples,
                                           const AnalysisGrid& grid,
                                           const CandidateSettings& settings) {
  std::vector<CandidateFrame> frames(static_cast<size_t>(grid.count));
  if (grid.count == 0) return frames;
  FrameAnalyser analyser(samples, grid, settings);
  for (int32_t f = 0; f < grid.count; f += 2) {
    const bool pair = f + 1 < grid.count;
    CandidateFrame unused;
    analyser.Analyse(f, pair ? f + 1 : -1, &frames[f], pair ? &frames[f + 1] : &unused);
  }
  return frames;
}

}  // namespace kelditra
