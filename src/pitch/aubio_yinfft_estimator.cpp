#include "pitch/aubio_yinfft_estimator.h"

#ifdef KELDITRA_HAVE_AUBIO

#include <algorithm>

namespace {

// Silence is gated before any estimator runs; aubio's own gate would only
// disagree with ours near its level.
constexpr smpl_t kNoSilenceGateDb = -200;

int32_t BufferLengthFor(const SpanGeometry& geometry) {
  const int32_t needed = std::max(geometry.Length(), geometry.lag_max * 5 / 2);
  int32_t length = 256;
  while (length < needed) length *= 2;
  return length;
}

}  // namespace

AubioYinFftEstimator::AubioYinFftEstimator(const SpanGeometry& geometry)
    : buffer_length_(BufferLengthFor(geometry)),
      // Hop equal to the buffer: each call analyses exactly the span passed.
      pitch_(new_aubio_pitch("yinfft", static_cast<uint_t>(buffer_length_),
                             static_cast<uint_t>(buffer_length_), kPitchSampleRate)),
      input_(new_fvec(static_cast<uint_t>(buffer_length_))),
      output_(new_fvec(1)) {
  if (pitch_ == nullptr) return;
  aubio_pitch_set_unit(pitch_, "Hz");
  aubio_pitch_set_silence(pitch_, kNoSilenceGateDb);
}

AubioYinFftEstimator::~AubioYinFftEstimator() {
  del_fvec(output_);
  del_fvec(input_);
  if (pitch_ != nullptr) del_aubio_pitch(pitch_);
}

double AubioYinFftEstimator::Propose(const float* span) {
  if (pitch_ == nullptr) return 0;
  smpl_t* data = fvec_get_data(input_);
  for (int32_t i = 0; i < buffer_length_; ++i) data[i] = span[i];
  aubio_pitch_do(pitch_, input_, output_);
  const double hz = fvec_get_sample(output_, 0);
  return hz > 0 ? hz : 0;
}

#endif  // KELDITRA_HAVE_AUBIO
