#include "pitch/pitch_tracker.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "analysis/frame_spectra.h"
#include "pitch/analysis_span.h"
#include "pitch/aubio_yinfft_estimator.h"
#include "pitch/yin_estimator.h"

namespace {

// Below this RMS level (-60 dB of full scale) a frame holds nothing worth a
// pitch: hiss, hum, the tail of a reverb.
constexpr double kAbsoluteFloor = 0.001;
// Quiet frames are judged against the recording's loudest one, so the
// background of a loud take is not read as notes.
constexpr double kRelativeFloorDb = 45;

// Frames on each side whose median decides a frame's octave: 100 ms, longer
// than a run of octave slips, shorter than most notes.
constexpr int32_t kOctaveReach = 6;
// A frame further than this from its neighbours' median (in octaves) is
// checked for an octave slip.
constexpr double kSlipSuspect = 0.5;
// A frame within this of an octave (or twelfth) of the median is corrected.
constexpr double kSlipCloseness = 0.25;
// How far around a period the best lag is looked for.
constexpr double kRefineReach = 0.03;

constexpr double kLowestMinHz = 20;
constexpr double kHighestMaxHz = 5000;

struct Period {
  double lag = 0;  // samples; 0 for none
  double aperiodicity = 1;
};

// The lag between shortest and longest, within the searched range, that
// repeats the span best.
Period RefinePeriod(const float* span, const SpanGeometry& geometry, double shortest,
                    double longest) {
  const int32_t first = std::max(geometry.lag_min, static_cast<int32_t>(std::floor(shortest)));
  const int32_t last = std::min(geometry.lag_max, static_cast<int32_t>(std::ceil(longest)));
  if (first > last) return Period{};
  std::vector<double> values(static_cast<size_t>(last - first + 1));
  int32_t best_lag = first;
  for (int32_t lag = first; lag <= last; ++lag) {
    values[lag - first] = Aperiodicity(span, geometry, lag);
    if (values[lag - first] < values[best_lag - first]) best_lag = lag;
  }
  Period best{static_cast<double>(best_lag), values[best_lag - first]};
  if (best_lag > first && best_lag < last) {
    best.lag += ParabolicOffset(values[best_lag - first - 1], values[best_lag - first],
                                values[best_lag - first + 1]);
  }
  return best;
}

// A detector's proposal, pinned down and tested for voicing. The detector
// names the dip; the period is the lag near it that repeats the span best,
// whichever detector named it, so the two agree wherever they pick the same
// dip, and noise that blurs a detector's own estimate does not also fail
// the voicing test. A detector whose periods come out short by up to
// short_bias has the true one looked for in the stretch it can have come
// from. A proposal outside the searched range may be a harmonic of a
// fundamental inside it, or a subharmonic of one: whole multiples and
// fractions of its period are tried, nearest first.
double SettleProposal(const float* span, const SpanGeometry& geometry, double threshold,
                      double short_bias, double hz) {
  if (hz <= 0) return 0;
  const double period = kPitchSampleRate / hz;
  const auto voiced_period = [&](double lag) {
    const Period refined = RefinePeriod(span, geometry, lag * (1 - kRefineReach),
                                        lag * (1 + kRefineReach + short_bias));
    return refined.aperiodicity <= threshold ? refined.lag : 0.0;
  };
  const auto in_range = [&](double lag) {
    return lag >= geometry.lag_min - 0.5 && lag <= geometry.lag_max + 0.5;
  };
  if (in_range(period)) {
    const double lag = voiced_period(period);
    return lag > 0 ? kPitchSampleRate / lag : 0;
  }
  for (int32_t step = 2; step <= 4; ++step) {
    for (const double lag : {period * step, period / step}) {
      if (!in_range(lag)) continue;
      const double voiced = voiced_period(lag);
      if (voiced > 0) return kPitchSampleRate / voiced;
    }
  }
  return 0;
}

double Median(std::vector<double> values) {
  const size_t middle = values.size() / 2;
  std::nth_element(values.begin(), values.begin() + middle, values.end());
  if (values.size() % 2 == 1) return values[middle];
  const double upper = values[middle];
  return (*std::max_element(values.begin(), values.begin() + middle) + upper) / 2;
}

// Octave slips: a frame that sits an octave (or a twelfth, or two octaves)
// away from the median of its neighbours in the same voiced run is moved to
// the period its neighbours imply, if the frame really repeats there, and
// silenced if it does not. A real leap survives: on either side of it, the
// frame's own side holds the majority of the median's window.
template <typename SpanOf>
void CorrectOctaveSlips(std::vector<double>* hz, const SpanGeometry& geometry, double threshold,
                        SpanOf span_of) {
  const int32_t frames = static_cast<int32_t>(hz->size());
  std::vector<double> octaves(hz->size(), 0);
  for (int32_t f = 0; f < frames; ++f) {
    if ((*hz)[f] > 0) octaves[f] = std::log2((*hz)[f]);
  }

  std::vector<double> corrected = *hz;
  for (int32_t run_start = 0; run_start < frames;) {
    if ((*hz)[run_start] <= 0) {
      ++run_start;
      continue;
    }
    int32_t run_end = run_start;
    while (run_end < frames && (*hz)[run_end] > 0) ++run_end;

    for (int32_t f = run_start; f < run_end; ++f) {
      const int32_t from = std::max(run_start, f - kOctaveReach);
      const int32_t to = std::min(run_end, f + kOctaveReach + 1);
      const double median =
          Median(std::vector<double>(octaves.begin() + from, octaves.begin() + to));
      const double off = octaves[f] - median;
      if (std::abs(off) < kSlipSuspect) continue;

      double best_factor = 0;
      double best_distance = kSlipCloseness;
      for (const double factor : {2.0, 3.0, 4.0, 0.5, 1 / 3.0, 0.25}) {
        const double distance = std::abs(off + std::log2(factor));
        if (distance < best_distance) {
          best_distance = distance;
          best_factor = factor;
        }
      }
      if (best_factor == 0) continue;  // a different note, not a slip

      const double target_lag = kPitchSampleRate / ((*hz)[f] * best_factor);
      Period period;
      if (target_lag >= geometry.lag_min - 0.5 && target_lag <= geometry.lag_max + 0.5) {
        period = RefinePeriod(span_of(f), geometry, target_lag * (1 - kRefineReach),
                              target_lag * (1 + kRefineReach));
      }
      corrected[f] =
          period.lag > 0 && period.aperiodicity <= threshold ? kPitchSampleRate / period.lag : 0;
    }
    run_start = run_end;
  }
  *hz = std::move(corrected);
}

std::vector<double> FrameLevels(const std::vector<float>& samples, int32_t frames) {
  std::vector<double> levels(static_cast<size_t>(frames));
  for (int32_t f = 0; f < frames; ++f) {
    double energy = 0;
    for (int32_t i = 0; i < kFrameLength; ++i) {
      const double sample = samples[static_cast<size_t>(f) * kFrameLength + i];
      energy += sample * sample;
    }
    levels[f] = std::sqrt(energy / kFrameLength);
  }
  return levels;
}

// Every frame loud enough to be heard, through the estimator and the voicing
// test; the rest 0. A frame whose proposal does not repeat gets a second
// opinion when there is one.
template <typename Estimator>
std::vector<double> ProposeAll(Estimator& estimator, YinEstimator* second_opinion,
                               const std::vector<float>& samples, const std::vector<double>& levels,
                               double gate, const SpanGeometry& geometry, double threshold) {
  std::vector<double> hz(levels.size(), 0);
  std::vector<float> span(static_cast<size_t>(estimator.SpanLength()));
  const float* compared = span.data() + estimator.SpanLength() / 2 - geometry.Length() / 2;
  for (size_t f = 0; f < levels.size(); ++f) {
    if (levels[f] < gate) continue;
    CopySpan(samples, static_cast<int32_t>(f), estimator.SpanLength(), span.data());
    hz[f] = SettleProposal(compared, geometry, threshold, Estimator::kShortBias,
                           estimator.Propose(span.data()));
    if (hz[f] == 0 && second_opinion != nullptr) {
      hz[f] = SettleProposal(compared, geometry, threshold, YinEstimator::kShortBias,
                             second_opinion->Propose(compared));
    }
  }
  return hz;
}

}  // namespace

bool PitchMethodAvailable(PitchMethod method) {
#ifdef KELDITRA_HAVE_AUBIO
  return method == PitchMethod::kYin || AubioYinFftEstimator::LibraryLoads();
#else
  return method == PitchMethod::kYin;
#endif
}

PitchMethod PreferredPitchMethod() {
  return PitchMethodAvailable(PitchMethod::kAubioYinFft) ? PitchMethod::kAubioYinFft
                                                         : PitchMethod::kYin;
}

const char* PitchMethodName(PitchMethod method) {
  return method == PitchMethod::kAubioYinFft ? "yinfft" : "yin";
}

std::string CheckPitchSettings(const PitchSettings& settings) {
  char text[160];
  if (!(settings.min_hz >= kLowestMinHz)) {
    std::snprintf(text, sizeof text, "the lowest fundamental must be at least %g Hz", kLowestMinHz);
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

std::vector<uint16_t> TrackPitch(const std::vector<float>& samples, const PitchSettings& settings,
                                 PitchMethod method) {
  const int32_t frames = static_cast<int32_t>(samples.size() / kFrameLength);
  const SpanGeometry geometry = SpanGeometryFor(settings.min_hz, settings.max_hz);
  const std::vector<double> levels = FrameLevels(samples, frames);
  const double loudest = levels.empty() ? 0 : *std::max_element(levels.begin(), levels.end());
  const double gate = std::max(kAbsoluteFloor, loudest * std::pow(10, -kRelativeFloorDb / 20));

  YinEstimator yin(geometry);
  std::vector<double> hz;
#ifdef KELDITRA_HAVE_AUBIO
  if (method == PitchMethod::kAubioYinFft) {
    // YIN-FFT's ear weighting can prefer a strong formant to a low, weak
    // fundamental (a deep or creaky voice): a period it names that does not
    // repeat goes to YIN.
    AubioYinFftEstimator estimator(geometry);
    hz = ProposeAll(estimator, &yin, samples, levels, gate, geometry, settings.threshold);
  }
#endif
  if (method == PitchMethod::kYin || !PitchMethodAvailable(method)) {
    hz = ProposeAll(yin, nullptr, samples, levels, gate, geometry, settings.threshold);
  }

  std::vector<float> span(static_cast<size_t>(geometry.Length()));
  CorrectOctaveSlips(&hz, geometry, settings.threshold, [&](int32_t frame) {
    CopySpan(samples, frame, geometry.Length(), span.data());
    return span.data();
  });

  std::vector<uint16_t> track(hz.size(), 0);
  for (size_t f = 0; f < hz.size(); ++f) {
    if (hz[f] > 0) track[f] = static_cast<uint16_t>(std::clamp(std::lround(hz[f]), 1L, 65535L));
  }
  return track;
}
