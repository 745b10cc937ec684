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
    : buffer_length_(BufferLengthFor(geometry)), pitch_(nullptr), input_(nullptr), output_(nullptr) {
  if (!aubio_.loaded()) return;
  // Hop equal to the buffer: each call analyses exactly the span passed.
  pitch_ = aubio_.new_pitch("yinfft", static_cast<uint_t>(buffer_length_),
                            static_cast<uint_t>(buffer_length_), kPitchSampleRate);
  input_ = aubio_.new_vector(static_cast<uint_t>(buffer_length_));
  output_ = aubio_.new_vector(1);
  if (pitch_ == nullptr) return;
  aubio_.set_unit(pitch_, "Hz");
  aubio_.set_silence(pitch_, kNoSilenceGateDb);
}

AubioYinFftEstimator::~AubioYinFftEstimator() {
  if (output_ != nullptr) aubio_.delete_vector(output_);
  if (input_ != nullptr) aubio_.delete_vector(input_);
  if (pitch_ != nullptr) aubio_.delete_pitch(pitch_);
}

double AubioYinFftEstimator::Propose(const float* span) {
  if (pitch_ == nullptr || input_ == nullptr || output_ == nullptr) return 0;
  // fvec_t's fields are public in aubio's header: the length, then the data.
  for (int32_t i = 0; i < buffer_length_; ++i) input_->data[i] = span[i];
  aubio_.pitch_do(pitch_, input_, output_);
  const double hz = output_->data[0];
  return hz > 0 ? hz : 0;
}

bool AubioYinFftEstimator::LibraryLoads() { return AubioLibrary().loaded(); }

#endif  // KELDITRA_HAVE_AUBIO
