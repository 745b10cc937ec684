#include "report/report_spectrogram.h"

#include <cmath>
#include <complex>

#include "analysis/frame_spectra.h"

namespace kelditra {

namespace {

constexpr double kPi = 3.141592653589793;

// In-place iterative radix-2 FFT of a power-of-two length.
void Fft(std::vector<std::complex<double>>* values) {
  std::vector<std::complex<double>>& a = *values;
  const size_t n = a.size();
  for (size_t i = 1, j = 0; i < n; ++i) {
    size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(a[i], a[j]);
  }
  for (size_t length = 2; length <= n; length <<= 1) {
    const std::complex<double> step = std::polar(1.0, -2 * kPi / static_cast<double>(length));
    for (size_t start = 0; start < n; start += length) {
      std::complex<double> twiddle = 1;
      for (size_t k = 0; k < length / 2; ++k) {
        const std::complex<double> even = a[start + k];
        const std::complex<double> odd = a[start + k + length / 2] * twiddle;
        a[start + k] = even + odd;
        a[start + k + length / 2] = even - odd;
        twiddle *= step;
      }
    }
  }
}

}  // namespace

std::vector<float> SpectrogramDecibels(const std::vector<int16_t>& samples, int32_t frames) {
  std::vector<double> window(kSpectrogramWindow);
  double window_sum = 0;
  for (int32_t n = 0; n < kSpectrogramWindow; ++n) {
    window[n] = 0.5 - 0.5 * std::cos(2 * kPi * n / kSpectrogramWindow);
    window_sum += window[n];
  }
  std::vector<float> decibels(static_cast<size_t>(frames) * kSpectrogramRows);
  std::vector<std::complex<double>> buffer(kSpectrogramWindow);
  const int64_t count = static_cast<int64_t>(samples.size());
  for (int32_t frame = 0; frame < frames; ++frame) {
    const int64_t first = int64_t{frame} * kFrameLength + kFrameLength / 2 - kSpectrogramWindow / 2;
    for (int32_t n = 0; n < kSpectrogramWindow; ++n) {
      const int64_t at = first + n;
      const double sample = at >= 0 && at < count ? samples[static_cast<size_t>(at)] : 0.0;
      buffer[n] = sample * window[n];
    }
    Fft(&buffer);
    for (int32_t row = 0; row < kSpectrogramRows; ++row) {
      // A full-scale sine reads 0 dB.
      const double amplitude = 2 * std::abs(buffer[row]) / window_sum / 32768.0;
      decibels[static_cast<size_t>(frame) * kSpectrogramRows + row] =
          static_cast<float>(20 * std::log10(amplitude + 1e-9));
    }
  }
  return decibels;
}

std::vector<uint8_t> SpectrogramBytes(const std::vector<float>& decibels, double top_db) {
  std::vector<uint8_t> bytes(decibels.size());
  for (size_t i = 0; i < decibels.size(); ++i) {
    const double level = (decibels[i] - (top_db - kSpectrogramRange)) / kSpectrogramRange;
    bytes[i] = static_cast<uint8_t>(std::lround(255 * std::fmax(0.0, std::fmin(1.0, level))));
  }
  return bytes;
}

}  // namespace kelditra
