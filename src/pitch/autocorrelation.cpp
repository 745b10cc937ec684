#include "pitch/autocorrelation.h"

#include <algorithm>

#include "pitch/exact_math.h"

namespace kelditra {

Autocorrelator::Autocorrelator(int32_t frame_length, int32_t max_lag)
    : frame_length_(frame_length) {
  // Circular correlation folds lag size - t onto lag t; a size of at least
  // frame + max_lag keeps every lag asked for clear of that.
  size_ = 1;
  int32_t bits = 0;
  while (size_ < frame_length + max_lag) {
    size_ *= 2;
    ++bits;
  }
  for (auto* buffer : {&real_, &imag_, &spare_real_, &spare_imag_}) buffer->resize(size_);
  for (int32_t half = 1; half < size_; half *= 2) {
    for (int32_t j = 0; j < half; ++j) {
      twiddle_real_.push_back(CosineOfTurn(j, 2 * half));
      twiddle_imag_.push_back(-CosineOfTurn(2 * j - half, 4 * half));  // -sin(pi j / half)
    }
  }
  bit_reversed_.resize(static_cast<size_t>(size_));
  for (int32_t i = 0; i < size_; ++i) {
    int32_t reversed = 0;
    for (int32_t b = 0; b < bits; ++b) reversed |= ((i >> b) & 1) << (bits - 1 - b);
    bit_reversed_[i] = reversed;
  }
}

void Autocorrelator::LoadBitReversed(const std::vector<double>& real,
                                     const std::vector<double>& imag) {
  for (int32_t i = 0; i < size_; ++i) {
    real_[bit_reversed_[i]] = real[i];
    imag_[bit_reversed_[i]] = imag[i];
  }
}

void Autocorrelator::Transform() {
  double* re = real_.data();
  double* im = imag_.data();
  const double* twiddle_re = twiddle_real_.data();
  const double* twiddle_im = twiddle_imag_.data();
  for (int32_t half = 1; half < size_; half *= 2) {
    for (int32_t start = 0; start < size_; start += 2 * half) {
      double* a_re = re + start;
      double* a_im = im + start;
      double* b_re = a_re + half;
      double* b_im = a_im + half;
      for (int32_t j = 0; j < half; ++j) {
        const double p_re = b_re[j] * twiddle_re[j] - b_im[j] * twiddle_im[j];
        const double p_im = b_re[j] * twiddle_im[j] + b_im[j] * twiddle_re[j];
        b_re[j] = a_re[j] - p_re;
        b_im[j] = a_im[j] - p_im;
        a_re[j] += p_re;
        a_im[j] += p_im;
      }
    }
    twiddle_re += half;
    twiddle_im += half;
  }
}

void Autocorrelator::Correlate(std::vector<double>* first, std::vector<double>* second) {
  std::fill(spare_real_.begin(), spare_real_.end(), 0.0);
  std::fill(spare_imag_.begin(), spare_imag_.end(), 0.0);
  std::copy_n(first->begin(), frame_length_, spare_real_.begin());
  std::copy_n(second->begin(), frame_length_, spare_imag_.begin());
  LoadBitReversed(spare_real_, spare_imag_);
  Transform();
  // Z = X + iY for real x, y: X_k = (Z_k + conj Z_-k) / 2, Y_k = (Z_k - conj Z_-k) / 2i.
  // Their powers go back the same way, |X|^2 in the real part, |Y|^2 in the
  // imaginary. Both are even, so the inverse transform is the forward one.
  for (int32_t k = 0; k <= size_ / 2; ++k) {
    const int32_t mirror = (size_ - k) & (size_ - 1);
    const double sum_re = real_[k] + real_[mirror];
    const double sum_im = imag_[k] - imag_[mirror];
    const double difference_re = real_[k] - real_[mirror];
    const double difference_im = imag_[k] + imag_[mirror];
    const double x_power = (sum_re * sum_re + sum_im * sum_im) / 4;
    const double y_power = (difference_re * difference_re + difference_im * difference_im) / 4;
    spare_real_[k] = spare_real_[mirror] = x_power;
    spare_imag_[k] = spare_imag_[mirror] = y_power;
  }
  LoadBitReversed(spare_real_, spare_imag_);
  Transform();
  const int32_t lags = std::min<int32_t>(frame_length_, size_);
  for (int32_t t = 0; t < lags; ++t) {
    (*first)[t] = real_[t] / size_;
    (*second)[t] = imag_[t] / size_;
  }
}

}  // namespace kelditra
