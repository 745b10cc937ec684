#include "demo_voice.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <numbers>

namespace kelditra {

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr double kRate = kDemoSampleRate;

constexpr double kLowPitch = 180.0;
constexpr double kHighPitch = 300.0;
constexpr double kGlideStart = 0.25;  // share of the voiced span
constexpr double kGlideEnd = 0.75;
constexpr double kVibratoRate = 5.5;
constexpr double kVibratoDepth = 0.03;
constexpr double kVibratoSettleSeconds = 0.3;
constexpr double kAttackSeconds = 0.06;
constexpr double kReleaseSeconds = 0.12;
constexpr double kPeak = 32767.0 * 0.70794578;  // -3 dBFS

// The pulse is synthesised harmonic by harmonic, so nothing above the band
// edge exists to fold back; harmonics fade out before it so that one crossing
// the edge during the glide does not click.
constexpr int kHarmonics = 128;
constexpr double kFadeFrom = 16000.0;
constexpr double kFadeTo = 20000.0;

// Rosenberg-style glottal flow: a raised-cosine opening over 40% of the period,
// a quarter-cosine closing over the next 16%, closed for the rest.
constexpr double kOpening = 0.40;
constexpr double kClosing = 0.16;

struct Formants {
  double frequency[3];
};
constexpr Formants kVowelA = {{800.0, 1150.0, 2800.0}};
constexpr Formants kVowelO = {{450.0, 800.0, 2830.0}};
constexpr Formants kVowelI = {{300.0, 2300.0, 3000.0}};
constexpr double kBandwidths[3] = {90.0, 110.0, 160.0};
// A fixed upper formant gives the voice some edge above the vowel formants.
constexpr double kUpperFormant = 3500.0;
constexpr double kUpperBandwidth = 250.0;

double SmoothStep(double x) {
  x = std::clamp(x, 0.0, 1.0);
  return x * x * (3.0 - 2.0 * x);
}

double GlottalFlow(double phase) {
  if (phase < kOpening) return 0.5 * (1.0 - std::cos(std::numbers::pi * phase / kOpening));
  if (phase < kOpening + kClosing) {
    return std::cos(0.5 * std::numbers::pi * (phase - kOpening) / kClosing);
  }
  return 0.0;
}

// Coefficients of the flow's derivative, the pressure wave that the lips
// radiate: source(p) = sum over h of Re(coefficient[h] * exp(-2 pi i h p)).
std::array<std::complex<double>, kHarmonics + 1> PulseHarmonics() {
  constexpr int kPoints = 4096;
  std::array<std::complex<double>, kHarmonics + 1> coefficients{};
  for (int h = 1; h <= kHarmonics; ++h) {
    std::complex<double> sum = 0.0;
    for (int j = 0; j < kPoints; ++j) {
      sum += GlottalFlow(static_cast<double>(j) / kPoints) *
             std::polar(1.0, kTwoPi * h * j / kPoints);
    }
    // The flow is sum Re(c_h exp(-2 pi i h p)) with c_h = 2 sum / kPoints;
    // differentiating multiplies each term by -2 pi i h.
    coefficients[h] = std::complex<double>(0.0, -kTwoPi * h) * (2.0 * sum / double{kPoints});
  }
  return coefficients;
}

double HarmonicWeight(double frequency) {
  if (frequency <= kFadeFrom) return 1.0;
  if (frequency >= kFadeTo) return 0.0;
  const double c = std::cos(0.5 * std::numbers::pi * (frequency - kFadeFrom) / (kFadeTo - kFadeFrom));
  return c * c;
}

Formants VowelAt(double share) {
  // "a" until 30%, "o" from 40% to 60%, "i" from 70% on.
  const double to_o = SmoothStep((share - 0.30) / 0.10);
  const double to_i = SmoothStep((share - 0.60) / 0.10);
  Formants now;
  for (int f = 0; f < 3; ++f) {
    const double a_to_o = kVowelA.frequency[f] + to_o * (kVowelO.frequency[f] - kVowelA.frequency[f]);
    now.frequency[f] = a_to_o + to_i * (kVowelI.frequency[f] - a_to_o);
  }
  return now;
}

// Two-pole resonator with unit gain at 0 Hz; coefficients may change every
// sample as the formant moves.
struct Resonator {
  double y1 = 0.0;
  double y2 = 0.0;
  double Step(double x, double frequency, double bandwidth) {
    const double radius = std::exp(-std::numbers::pi * bandwidth / kRate);
    const double a1 = 2.0 * radius * std::cos(kTwoPi * frequency / kRate);
    const double a2 = -radius * radius;
    const double y = (1.0 - a1 - a2) * x + a1 * y1 + a2 * y2;
    y2 = y1;
    y1 = y;
    return y;
  }
};

double Envelope(double t, double span) {
  const double attack = 0.5 * (1.0 - std::cos(std::numbers::pi * std::min(t / kAttackSeconds, 1.0)));
  const double left = span - t;
  const double release =
      0.5 * (1.0 - std::cos(std::numbers::pi * std::clamp(left / kReleaseSeconds, 0.0, 1.0)));
  return attack * release;
}

}  // namespace

DemoVoice MakeDemoVoice(double seconds) {
  DemoVoice voice;
  if (!(seconds >= kDemoShortestSeconds && seconds <= kDemoLongestSeconds)) return voice;
  const int frames = static_cast<int>(std::lround(seconds * 60.0));
  const int first_voiced = kDemoSilentFrames * kDemoFrameSamples;
  const int end_voiced = (frames - kDemoSilentFrames) * kDemoFrameSamples;
  const double span = static_cast<double>(end_voiced - first_voiced) / kRate;

  const auto harmonics = PulseHarmonics();
  std::vector<double> pitch(static_cast<size_t>(frames) * kDemoFrameSamples, 0.0);
  std::vector<double> sound(pitch.size(), 0.0);
  Resonator resonators[4];
  double phase = 0.0;  // in periods
  for (int n = first_voiced; n < end_voiced; ++n) {
    const double t = static_cast<double>(n - first_voiced) / kRate;
    const double share = t / span;
    const double glide =
        kLowPitch * std::pow(kHighPitch / kLowPitch,
                             SmoothStep((share - kGlideStart) / (kGlideEnd - kGlideStart)));
    // Singers settle into their vibrato a moment after the onset.
    const double depth = kVibratoDepth * SmoothStep(t / kVibratoSettleSeconds);
    const double f0 = glide * (1.0 + depth * std::sin(kTwoPi * kVibratoRate * t));
    pitch[n] = f0;

    const std::complex<double> step = std::polar(1.0, -kTwoPi * phase);
    std::complex<double> rotor = 1.0;
    double source = 0.0;
    for (int h = 1; h <= kHarmonics; ++h) {
      rotor *= step;
      const double weight = HarmonicWeight(h * f0);
      if (weight == 0.0) break;
      source += weight * (harmonics[h] * rotor).real();
    }
    phase += f0 / kRate;
    phase -= std::floor(phase);

    const Formants vowel = VowelAt(share);
    double y = source;
    for (int f = 0; f < 3; ++f) y = resonators[f].Step(y, vowel.frequency[f], kBandwidths[f]);
    y = resonators[3].Step(y, kUpperFormant, kUpperBandwidth);
    sound[n] = y * Envelope(t, span);
  }

  double loudest = 0.0;
  for (double s : sound) loudest = std::max(loudest, std::abs(s));
  voice.samples.resize(sound.size());
  for (size_t n = 0; n < sound.size(); ++n) {
    voice.samples[n] = static_cast<int16_t>(std::lround(sound[n] * kPeak / loudest));
  }

  voice.fundamentals.resize(frames);
  for (int frame = 0; frame < frames; ++frame) {
    double sum = 0.0;
    for (int j = 0; j < kDemoFrameSamples; ++j) sum += pitch[frame * kDemoFrameSamples + j];
    voice.fundamentals[frame] = static_cast<uint16_t>(std::lround(sum / kDemoFrameSamples));
  }
  return voice;
}

}  // namespace kelditra
