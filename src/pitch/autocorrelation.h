#pragma once

#include <cstdint>
#include <vector>

namespace kelditra {

// Autocorrelations of real frames through a power-of-two Fourier transform.
// Two frames share one complex transform each way: one rides in the real
// part, the other in the imaginary part, and their spectra are told apart
// by symmetry.
class Autocorrelator {
 public:
  // Frames of `frame_length` samples, lags up to `max_lag` < frame_length.
  Autocorrelator(int32_t frame_length, int32_t max_lag);

  // first and second hold frame_length samples each; on return each holds
  // its autocorrelation for lags 0 .. max_lag (the rest is left undefined).
  void Correlate(std::vector<double>* first, std::vector<double>* second);

 private:
  // In place on real_ and imag_, in bit-reversed order on the way in.
  void Transform();
  void LoadBitReversed(const std::vector<double>& real, const std::vector<double>& imag);

  int32_t frame_length_;
  int32_t size_;  // a power of two, at least frame_length + max_lag
  std::vector<double> real_;
  std::vector<double> imag_;
  std::vector<double> spare_real_;
  std::vector<double> spare_imag_;
  // exp(-i pi j / h) for j < h, each stage's h after the last: contiguous
  // for the stage that reads them.
  std::vector<double> twiddle_real_;
  std::vector<double> twiddle_imag_;
  std::vector<int32_t> bit_reversed_;
};

}  // namespace kelditra
