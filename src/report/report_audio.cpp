#include "report/report_audio.h"

#include <cmath>

#include "formats/sound_timing.h"
#include "formats/wave_writer.h"
#include "report/base64.h"

namespace kelditra {

namespace {

constexpr int32_t kFactor = kSampleRate / kPageAudioRate;
constexpr int32_t kTaps = 63;

// A Blackman-windowed sinc, cut off at 4.8 kHz so that little folds back
// below the reduced rate's 5.5 kHz limit.
std::vector<double> LowPass() {
  constexpr double kPi = 3.141592653589793;
  constexpr double kCutoff = 4800.0 / kSampleRate;  // cycles per sample
  std::vector<double> taps(kTaps);
  double sum = 0;
  for (int32_t k = 0; k < kTaps; ++k) {
    const double t = k - (kTaps - 1) / 2.0;
    const double sinc = t == 0 ? 2 * kCutoff : std::sin(2 * kPi * kCutoff * t) / (kPi * t);
    const double window = 0.42 - 0.5 * std::cos(2 * kPi * k / (kTaps - 1)) +
                          0.08 * std::cos(4 * kPi * k / (kTaps - 1));
    taps[k] = sinc * window;
    sum += taps[k];
  }
  for (double& tap : taps) tap /= sum;
  return taps;
}

}  // namespace

std::vector<int16_t> ReduceToPageRate(const std::vector<int16_t>& samples) {
  static const std::vector<double> taps = LowPass();
  const int64_t count = static_cast<int64_t>(samples.size());
  std::vector<int16_t> reduced(static_cast<size_t>(count / kFactor));
  for (size_t m = 0; m < reduced.size(); ++m) {
    const int64_t centre = static_cast<int64_t>(m) * kFactor;
    double sum = 0;
    for (int32_t k = 0; k < kTaps; ++k) {
      const int64_t n = centre + k - (kTaps - 1) / 2;
      if (n >= 0 && n < count) sum += taps[k] * samples[static_cast<size_t>(n)];
    }
    reduced[m] = static_cast<int16_t>(std::lround(std::fmax(-32768.0, std::fmin(32767.0, sum))));
  }
  return reduced;
}

std::string WaveDataUri(const std::vector<int16_t>& page_rate_samples) {
  const std::vector<uint8_t> wave = MonoWaveBytes(page_rate_samples, kPageAudioRate);
  return "data:audio/wav;base64," + Base64(wave.data(), wave.size());
}

}  // namespace kelditra
