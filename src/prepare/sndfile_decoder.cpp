#include "prepare/sndfile_decoder.h"

#include <sndfile.h>
#include <soxr.h>

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <new>

#include "formats/sound_timing.h"
#include "io/platform_file.h"
#include "prepare/mono_mix.h"
#include "prepare/whole_recording.h"

// libsndfile 1.2.0 leaves the codec setup of a Vorbis stream whose headers
// it rejects half way: the library's leak, not ours, and small. Told to the
// leak checker of a sanitized build, so that it does not end the run.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
extern "C" const char* __lsan_default_suppressions() { return "leak:vorbis_info_init\n"; }
#endif
#endif

namespace kelditra {

namespace {

constexpr sf_count_t kBlockFrames = 8192;

struct SndfileCloser {
  void operator()(SNDFILE* file) const { sf_close(file); }
};
using SndfileHandle = std::unique_ptr<SNDFILE, SndfileCloser>;

struct ResamplerDeleter {
  void operator()(soxr* resampler) const { soxr_delete(resampler); }
};
using ResamplerHandle = std::unique_ptr<soxr, ResamplerDeleter>;

// Hands mono samples at the recording's rate on to the sound at 44100 Hz, a
// block at a time, so that only the output is ever held whole.
class RateChanger {
 public:
  RateChanger(int32_t input_rate, std::vector<float>* output) : output_(output) {
    ratio_ = static_cast<double>(kSampleRate) / input_rate;
    if (input_rate == kSampleRate) return;  // taken as it is: a round trip gives the same samples
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_VHQ, 0);
    const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
    soxr_error_t error = nullptr;
    resampler_.reset(soxr_create(input_rate, kSampleRate, 1, &error, &io, &quality, &runtime));
    if (error != nullptr) resampler_.reset();
    failed_ = resampler_ == nullptr;
  }

  bool failed() const { return failed_; }

  // nullptr and 0 at the end, for what the filter still holds.
  bool Feed(const float* input, size_t count) {
    if (resampler_ == nullptr) {
      if (input == nullptr) return true;
      GrowFor(output_->size() + count);
      output_->insert(output_->end(), input, input + count);
      return true;
    }
    do {
      const size_t room = static_cast<size_t>(count * ratio_) + 1024;
      const size_t start = output_->size();
      GrowFor(start + room);
      output_->resize(start + room);
      size_t taken = 0;
      size_t made = 0;
      if (soxr_process(resampler_.get(), input, count, &taken, output_->data() + start, room,
                       &made) != nullptr) {
        return false;
      }
      output_->resize(start + made);
      if (input == nullptr) {
        if (made < room) return true;  // the filter is empty
      } else {
        input += taken;
        count -= taken;
      }
    } while (input == nullptr || count > 0);
    return true;
  }

 private:
  // An eighth more at a time once past what was reserved, rather than twice
  // as much, so that a long recording whose length was not told up front
  // does not briefly need three times its size.
  void GrowFor(size_t wanted) {
    if (wanted <= output_->capacity()) return;
    output_->reserve(std::max(wanted, output_->capacity() + output_->capacity() / 8));
  }

  std::vector<float>* output_;
  ResamplerHandle resampler_;
  double ratio_ = 1;
  bool failed_ = false;
};

// Reads count bytes at offset without moving the decoder's position; the
// bytes read, or -1.
using ReadAt = std::function<int64_t(int64_t offset, uint8_t* buffer, int64_t count)>;

bool OggEndsWhole(const ReadAt& read_at, int64_t length) {
  const int64_t start = std::max<int64_t>(0, length - kEndLooked);
  std::vector<uint8_t> tail(static_cast<size_t>(length - start));
  const int64_t got = read_at(start, tail.data(), static_cast<int64_t>(tail.size()));
  return got == static_cast<int64_t>(tail.size()) && OggTailEndsStream(tail.data(), tail.size());
}

bool WaveEndsWhole(const ReadAt& read_at, int64_t length) {
  std::vector<uint8_t> head(static_cast<size_t>(std::min(length, kEndLooked)));
  const int64_t got = read_at(0, head.data(), static_cast<int64_t>(head.size()));
  return got >= 0 && WaveHeadHoldsItsData(head.data(), got, length);
}

bool EndsWhole(const SF_INFO& info, const ReadAt& read_at, int64_t length) {
  switch (info.format & SF_FORMAT_TYPEMASK) {
    case SF_FORMAT_OGG:
      return OggEndsWhole(read_at, length);
    case SF_FORMAT_WAV:
    case SF_FORMAT_WAVEX:
      return WaveEndsWhole(read_at, length);
    default:
      return true;
  }
}

// The recording's length in seconds, as its header tells it, or as far as
// it was read.
double SecondsOf(sf_count_t frames, int32_t rate) { return static_cast<double>(frames) / rate; }

PrepareFailure Refusal(PrepareFailureKind kind) {
  PrepareFailure failure;
  failure.kind = kind;
  return failure;
}

PrepareFailure DecodeOpened(SNDFILE* file, const SF_INFO& info, const ReadAt& read_at,
                            int64_t length, DecodedSound* sound) {
  sound->source_rate = info.samplerate;
  sound->source_channels = info.channels;
  if (!UsableLayout(info.samplerate, info.channels)) {
    PrepareFailure failure = Refusal(PrepareFailureKind::kUnusableLayout);
    failure.rate = info.samplerate;
    failure.channels = info.channels;
    return failure;
  }
  const bool length_told = info.frames > 0 && info.frames < SF_COUNT_MAX;
  const double ratio = static_cast<double>(kSampleRate) / info.samplerate;
  if (length_told && static_cast<double>(info.frames) * ratio > MostPreparedSamples()) {
    PrepareFailure failure = Refusal(PrepareFailureKind::kTooLong);
    failure.seconds = SecondsOf(info.frames, info.samplerate);
    return failure;
  }

  std::vector<float>& samples = sound->samples;
  if (length_told) samples.reserve(static_cast<size_t>(static_cast<double>(info.frames) * ratio) + 4096);
  RateChanger rate_changer(info.samplerate, &samples);
  if (rate_changer.failed()) return Refusal(PrepareFailureKind::kNoMemory);

  MonoMix mix(info.channels);
  std::vector<float> block(static_cast<size_t>(kBlockFrames) * info.channels);
  std::vector<float> mono(static_cast<size_t>(kBlockFrames));
  sf_count_t frames_read = 0;
  for (;;) {
    const sf_count_t got = sf_readf_float(file, block.data(), kBlockFrames);
    if (got <= 0) break;
    frames_read += got;
    mix.Mix(block.data(), static_cast<size_t>(got), mono.data());
    if (!rate_changer.Feed(mono.data(), static_cast<size_t>(got))) {
      return Refusal(PrepareFailureKind::kNoMemory);
    }
    // A length the header did not tell: how much longer is not worth
    // decoding to find out.
    if (static_cast<int64_t>(samples.size()) > MostPreparedSamples()) {
      return Refusal(PrepareFailureKind::kTooLong);
    }
  }
  const bool decoder_failed = sf_error(file) != SF_ERR_NO_ERROR;
  if (decoder_failed || (length_told && frames_read < info.frames) ||
      !EndsWhole(info, read_at, length)) {
    PrepareFailure failure = Refusal(PrepareFailureKind::kDamaged);
    if (decoder_failed) failure.reason = sf_strerror(file);
    failure.seconds = SecondsOf(frames_read, info.samplerate);
    return failure;
  }
  if (!rate_changer.Feed(nullptr, 0)) return Refusal(PrepareFailureKind::kNoMemory);

  sound->silent_channels = mix.SilentChannels();
  mix.RestoreLevel(&samples);
  if (frames_read == 0 || samples.empty()) return Refusal(PrepareFailureKind::kEmpty);
  if (static_cast<int64_t>(samples.size()) < kFrameLength) {
    return Refusal(PrepareFailureKind::kShorterThanFrame);
  }
  return {};
}

PrepareFailure NotARecording(const char* reason) {
  PrepareFailure failure = Refusal(PrepareFailureKind::kNotARecording);
  failure.reason = reason;
  return failure;
}

PrepareFailure DecodeGuarded(SNDFILE* file, const SF_INFO& info, const ReadAt& read_at,
                             int64_t length, DecodedSound* sound) {
  // A recording's own allocations (the samples, the resampler's filter) may
  // fail for a long one on a small machine: that is its own failure, not a
  // crash.
  try {
    return DecodeOpened(file, info, read_at, length, sound);
  } catch (const std::bad_alloc&) {
    sound->samples = {};
    return Refusal(PrepareFailureKind::kNoMemory);
  }
}

// A recording in memory, for libsndfile's virtual I/O.
struct MemoryRecording {
  const uint8_t* bytes;
  sf_count_t size;
  sf_count_t position = 0;
};

MemoryRecording* Recording(void* user) { return static_cast<MemoryRecording*>(user); }

sf_count_t MemoryLength(void* user) { return Recording(user)->size; }

sf_count_t MemorySeek(sf_count_t offset, int whence, void* user) {
  MemoryRecording* recording = Recording(user);
  const sf_count_t base = whence == SEEK_SET   ? 0
                          : whence == SEEK_CUR ? recording->position
                                               : recording->size;
  const sf_count_t target = base + offset;
  if (target < 0 || target > recording->size) return -1;
  recording->position = target;
  return target;
}

sf_count_t MemoryRead(void* destination, sf_count_t count, void* user) {
  MemoryRecording* recording = Recording(user);
  const sf_count_t taken = std::clamp<sf_count_t>(count, 0, recording->size - recording->position);
  if (taken > 0) std::memcpy(destination, recording->bytes + recording->position, taken);
  recording->position += taken;
  return taken;
}

sf_count_t MemoryWrite(const void*, sf_count_t, void*) { return 0; }

sf_count_t MemoryTell(void* user) { return Recording(user)->position; }

}  // namespace

PrepareFailure DecodeRecording(const std::string& path, DecodedSound* sound) {
  PlatformFile opened;
  FileProblem problem;
  if (const OpenStatus status = OpenForReading(path.c_str(), &opened, &problem);
      status != OpenStatus::kOpened) {
    return CannotRead(path, status, problem);
  }
  SF_INFO info{};
  // The file was opened as files are opened everywhere in this program (no
  // FIFO, no device); libsndfile reads it from there and closes it.
  const int descriptor = static_cast<int>(opened.handle);
  const int64_t length = LengthOf(opened);
  SndfileHandle file(sf_open_fd(descriptor, SFM_READ, &info, SF_TRUE));
  if (file == nullptr) return NotARecording(sf_strerror(nullptr));
  const ReadAt read_at = [descriptor](int64_t offset, uint8_t* buffer, int64_t count) {
    return static_cast<int64_t>(pread(descriptor, buffer, static_cast<size_t>(count), offset));
  };
  return DecodeGuarded(file.get(), info, read_at, length, sound);
}

PrepareFailure DecodeRecordingInMemory(const uint8_t* bytes, size_t size, DecodedSound* sound) {
  SF_VIRTUAL_IO io = {MemoryLength, MemorySeek, MemoryRead, MemoryWrite, MemoryTell};
  MemoryRecording recording{bytes, static_cast<sf_count_t>(size)};
  SF_INFO info{};
  SndfileHandle file(sf_open_virtual(&io, SFM_READ, &info, &recording));
  if (file == nullptr) return NotARecording(sf_strerror(nullptr));
  const auto length = static_cast<int64_t>(size);
  const ReadAt read_at = [bytes, length](int64_t offset, uint8_t* buffer, int64_t count) {
    const int64_t taken = std::clamp<int64_t>(count, 0, length - offset);
    if (taken > 0) std::memcpy(buffer, bytes + offset, static_cast<size_t>(taken));
    return taken;
  };
  return DecodeGuarded(file.get(), info, read_at, length, sound);
}

}  // namespace kelditra
