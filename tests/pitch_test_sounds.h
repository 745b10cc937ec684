#pragma once

// Synthetic recordings with a known fundamental at every instant, built from
// their own formulas, so that a pitch track can be scored against the truth.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <numeric>
#include <string>
#include <vector>

namespace kelditra {

namespace pitch_test {

inline constexpr double kRate = 44100;
inline constexpr int32_t kFrame = 735;

// One stretch of a sound: a tone whose fundamental may move (harmonic 1
// first), or, without a fundamental, silence or noise.
struct Segment {
  double seconds = 0;
  std::function<double(double)> hz = nullptr;  // time since the segment's start to Hz
  std::vector<double> harmonics = {1};
  double level = 0.3;                                // peak of the tone, full scale 1
  std::function<double(double)> odd_gain = nullptr;  // on odd harmonics, by time; none: 1
  double noise = 0;                                  // peak of the noise mixed in
  bool dark = false;  // noise with most of its energy low down, where a voice's fundamental is
  double creak = 0;   // every other cycle this much quieter, as in a creaky voice
  double hum = 0;     // peak of a 50 Hz mains hum (with its 3rd harmonic) under it all
  double clip = 0;    // where the samples are clipped; 0: not clipped
};

inline Segment Tone(double seconds, double hz, std::vector<double> harmonics = {1},
                    double level = 0.3) {
  return {seconds, [hz](double) { return hz; }, std::move(harmonics), level};
}
inline Segment Glide(double seconds, double from_hz, double to_hz, std::vector<double> harmonics) {
  return {seconds, [=](double t) { return from_hz * std::pow(to_hz / from_hz, t / seconds); },
          std::move(harmonics)};
}
inline Segment Vibrato(double seconds, double hz, double cents, double rate_hz,
                       std::vector<double> harmonics = {1}) {
  const auto at = [=](double t) {
    return hz * std::pow(2.0, cents / 1200 * std::sin(2 * M_PI * rate_hz * t));
  };
  return {seconds, at, std::move(harmonics)};
}
// Odd harmonics all but vanish for a moment every `every` seconds: for that
// moment the wave nearly repeats at half its period.
inline Segment OddDips(double seconds, double hz, double every) {
  Segment segment = Tone(seconds, hz, {0.3, 1, 0.5, 0.5, 0.4, 0.3});
  segment.odd_gain = [every](double t) {
    const double from_dip = std::remainder(t - every / 2, every);
    return 1 - 0.98 * std::exp(-from_dip * from_dip / (2 * 0.03 * 0.03));
  };
  return segment;
}
inline Segment Breathy(double seconds, double hz, double noise) {
  return {.seconds = seconds, .hz = [hz](double) { return hz; },
          .harmonics = {1, 0.6, 0.4, 0.3, 0.2}, .noise = noise};
}
inline Segment Creaky(double seconds, double hz, double creak) {
  Segment segment = Tone(seconds, hz, {1, 0.8, 0.6, 0.5, 0.3, 0.2});
  segment.creak = creak;
  return segment;
}
inline Segment Silence(double seconds) { return {seconds}; }
inline Segment Noise(double seconds, double level, bool dark = false) {
  return {.seconds = seconds, .noise = level, .dark = dark};
}

// A sawtooth-like source: harmonic n at 1/n, up to count.
inline std::vector<double> Bright(int count) {
  std::vector<double> amplitudes;
  for (int n = 1; n <= count; ++n) amplitudes.push_back(1.0 / n);
  return amplitudes;
}

struct Sound {
  std::string name;
  std::vector<Segment> segments;
};

// The samples and, per whole frame, the true fundamental at its centre: 0 in
// silence or noise, -1 (not scored) where its analysis reaches another segment.
struct Rendered {
  std::vector<float> samples;
  std::vector<double> truth;
};

inline Rendered Render(const Sound& sound) {
  constexpr double kReach = 0.025;  // the analysis's reach from a frame's centre
  constexpr double kFade = 0.005;   // so that notes start without a click
  Rendered rendered;
  uint32_t noise_state = 12345;
  double low = 0;  // the dark noise
  double start = 0;
  for (const Segment& segment : sound.segments) {
    std::vector<double> phases(segment.harmonics.size(), 0);
    const double peak = std::accumulate(segment.harmonics.begin(), segment.harmonics.end(), 0.0);
    for (int64_t i = 0; i < std::llround(segment.seconds * kRate); ++i) {
      const double t = i / kRate;
      double value = 0;
      if (segment.hz) {
        const double odd_gain = segment.odd_gain ? segment.odd_gain(t) : 1;
        for (size_t n = 0; n < phases.size(); ++n) {
          value += (n % 2 == 0 ? odd_gain : 1) * segment.harmonics[n] * std::sin(phases[n]);
          phases[n] += 2 * M_PI * segment.hz(t) * static_cast<double>(n + 1) / kRate;
        }
        if (segment.creak > 0 && std::sin(phases[0] / 2) < 0) value *= 1 - segment.creak;
        value *= segment.level / peak * std::min(1.0, std::min(t, segment.seconds - t) / kFade);
      }
      if (segment.noise > 0) {
        noise_state = noise_state * 1664525u + 1013904223u;
        const double white = (noise_state >> 8) / double(1 << 24) * 2 - 1;
        if (segment.dark) low = 0.97 * low + 0.03 * white;
        value += segment.noise * (segment.dark ? 8 * low : white);
      }
      const double mains = 2 * M_PI * 50 * static_cast<double>(rendered.samples.size()) / kRate;
      value += segment.hum * (std::sin(mains) + 0.3 * std::sin(3 * mains)) / 1.3;
      if (segment.clip > 0) value = std::clamp(value, -segment.clip, segment.clip);
      rendered.samples.push_back(static_cast<float>(value));
    }
    rendered.truth.resize(rendered.samples.size() / kFrame, -1);
    for (size_t f = 0; f < rendered.truth.size(); ++f) {
      const double t = (f * kFrame + kFrame / 2) / kRate - start;
      if (t >= kReach && t + kReach <= segment.seconds) {
        rendered.truth[f] = segment.hz ? segment.hz(t) : 0;
      }
    }
    start += segment.seconds;
  }
  return rendered;
}

inline double Cents(double hz, double reference) { return 1200 * std::log2(hz / reference); }

}  // namespace pitch_test

}  // namespace kelditra
