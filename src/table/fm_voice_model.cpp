#include "table/fm_voice_model.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <thread>

namespace kelditra {

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr double kStrongestIndex = 8.0;
constexpr double kDepthStepDecibels = 0.75;
constexpr double kStrongestFeedback = 1.0;

// Samples per modulator cycle when its sideband spectrum is taken. The
// feedback cusp makes the modulator's harmonics fall off only as n^(-4/3);
// at this length what folds back stays below one magnitude unit.
constexpr int kCycleSamples = 16384;
constexpr int kOrders = 2 * FmVoiceModel::kMaxOrder + 1;

using Complex = std::complex<double>;

// In-place radix-2 transform, sum x[j] exp(-2 pi i jk / n).
void ForwardFft(std::vector<Complex>* data, const std::vector<Complex>& twiddles) {
  std::vector<Complex>& x = *data;
  const size_t n = x.size();
  for (size_t i = 1, j = 0; i < n; ++i) {
    size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(x[i], x[j]);
  }
  for (size_t length = 2; length <= n; length <<= 1) {
    const size_t stride = n / length;
    for (size_t start = 0; start < n; start += length) {
      for (size_t k = 0; k < length / 2; ++k) {
        const Complex odd = x[start + k + length / 2] * twiddles[k * stride];
        x[start + k + length / 2] = x[start + k] - odd;
        x[start + k] += odd;
      }
    }
  }
}

// Continuous self-feedback y = sin(phase + b * y) has, for b <= 1, exactly one
// steady state: with u = phase + b * y it is Kepler's equation u - b sin u =
// phase, whose left side rises monotonically. Safeguarded Newton inside the
// bracket |u - phase| <= b converges even at b = 1, where the slope vanishes.
double FeedbackModulator(double phase, double feedback) {
  if (feedback == 0.0) return std::sin(phase);
  double low = phase - feedback;
  double high = phase + feedback;
  double u = phase + feedback * std::sin(phase);
  for (int iteration = 0; iteration < 200; ++iteration) {
    const double residual = u - feedback * std::sin(u) - phase;
    if (residual == 0.0) break;
    if (residual > 0.0) high = u; else low = u;
    const double slope = 1.0 - feedback * std::cos(u);
    double next = slope > 0.0 ? u - residual / slope : low;
    if (!(next > low && next < high)) next = 0.5 * (low + high);
    if (std::abs(next - u) <= 1e-15 * (1.0 + std::abs(u))) {
      u = next;
      break;
    }
    u = next;
  }
  return std::sin(u);
}

void ComputeSidebands(int feedback_step, const std::vector<Complex>& twiddles,
                      Complex* out_for_depth0) {
  std::vector<double> modulator(kCycleSamples);
  const double feedback = FeedbackIndex(feedback_step);
  for (int j = 0; j < kCycleSamples; ++j) {
    modulator[j] = FeedbackModulator(kTwoPi * j / kCycleSamples, feedback);
  }
  std::vector<Complex> spectrum(kCycleSamples);
  for (int depth = 0; depth < kDepthSteps; ++depth) {
    const double index = ModulationIndex(depth);
    for (int j = 0; j < kCycleSamples; ++j) {
      spectrum[j] = Complex(std::cos(index * modulator[j]), std::sin(index * modulator[j]));
    }
    ForwardFft(&spectrum, twiddles);
    Complex* out = out_for_depth0 + depth * kOrders;
    for (int order = -FmVoiceModel::kMaxOrder; order <= FmVoiceModel::kMaxOrder; ++order) {
      const int slot = order >= 0 ? order : order + kCycleSamples;
      out[order + FmVoiceModel::kMaxOrder] = spectrum[slot] / static_cast<double>(kCycleSamples);
    }
  }
}

int HalvesOfMultiple(int code) { return code == 0 ? 1 : 2 * code; }

}  // namespace

double ModulationIndex(int depth_step) {
  if (depth_step == 0) return 0.0;
  const double decibels_below = (kDepthSteps - 1 - depth_step) * kDepthStepDecibels;
  return kStrongestIndex * std::pow(10.0, -decibels_below / 20.0);
}

double FeedbackIndex(int feedback_step) {
  return kStrongestFeedback * feedback_step / (kFeedbackSteps - 1);
}

FmVoice DecodeVoice(int32_t voice) {
  FmVoice decoded;
  decoded.carrier_halves = HalvesOfMultiple(voice & 15);
  decoded.modulator_halves = HalvesOfMultiple((voice >> 4) & 15);
  decoded.modulation_index = ModulationIndex((voice >> 8) & 127);
  decoded.feedback_index = FeedbackIndex((voice >> 15) & 7);
  return decoded;
}

FmVoiceModel::FmVoiceModel()
    : sidebands_(static_cast<size_t>(kFeedbackSteps) * kDepthSteps * kOrders) {
  std::vector<Complex> twiddles(kCycleSamples / 2);
  for (int k = 0; k < kCycleSamples / 2; ++k) {
    twiddles[k] = std::polar(1.0, -kTwoPi * k / kCycleSamples);
  }
  // Each feedback step owns its own slice of the table, so the two halves can
  // be filled side by side and the result does not depend on the split.
  auto fill = [&](int first_step, int last_step) {
    for (int step = first_step; step < last_step; ++step) {
      ComputeSidebands(step, twiddles, &sidebands_[static_cast<size_t>(step) * kDepthSteps * kOrders]);
    }
  };
  std::thread second_half(fill, kFeedbackSteps / 2, kFeedbackSteps);
  fill(0, kFeedbackSteps / 2);
  second_half.join();
}

const Complex* FmVoiceModel::Sidebands(int depth_step, int feedback_step) const {
  return &sidebands_[(static_cast<size_t>(feedback_step) * kDepthSteps + depth_step) * kOrders];
}

std::vector<uint16_t> FmVoiceModel::Entry(int32_t voice) const {
  const FmVoice tone = DecodeVoice(voice);
  const Complex* sidebands = Sidebands((voice >> 8) & 127, (voice >> 15) & 7);

  // The tone is Im(exp(i c t) * sum d_k exp(i k m t)) with t the phase of F/2,
  // so order k sits at n = c + k m halves of F. A negative n folds onto |n|
  // with its sine part reversed; that is how the lower sidebands come to
  // cancel or reinforce upper ones.
  double cosine_part[128] = {};
  double sine_part[128] = {};
  for (int order = -kMaxOrder; order <= kMaxOrder; ++order) {
    const int bin = tone.carrier_halves + order * tone.modulator_halves;
    if (bin > 127 || bin < -127) continue;
    const Complex d = sidebands[order + kMaxOrder];
    if (bin >= 0) {
      cosine_part[bin] += d.imag();
      sine_part[bin] += d.real();
    } else {
      cosine_part[-bin] += d.imag();
      sine_part[-bin] -= d.real();
    }
  }

  std::vector<uint16_t> entry(128);
  for (int bin = 0; bin < 128; ++bin) {
    // A component's amplitude is the length of its cosine and sine parts; at
    // 0 Hz only the cosine part is a signal.
    const double amplitude =
        bin == 0 ? std::abs(cosine_part[0]) : std::hypot(cosine_part[bin], sine_part[bin]);
    const double magnitude = std::round(kFullScaleMagnitude * amplitude);
    entry[bin] = static_cast<uint16_t>(std::min(magnitude, 65535.0));
  }
  return entry;
}

}  // namespace kelditra
