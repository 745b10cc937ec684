// Windows: the recording read by Media Foundation's source reader (as float,
// at its own rate and channel count), mixed here as on Linux, and resampled
// by Windows' own audio resampler (CLSID_CResamplerMediaObject), a block at
// a time. The Debian packages of libsndfile and libsoxr are not built for
// mingw-w64; Media Foundation is part of every Windows.
#include <windows.h>
// After windows.h, which they assume.
#include <mfapi.h>
#include <mferror.h>
#include <mfidl.h>
#include <mfreadwrite.h>
#include <mftransform.h>
#include <wmcodecdsp.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "formats/sound_timing.h"
#include "io/platform_file.h"
#include "io/wide_text_win32.h"
#include "io/whole_file.h"
#include "prepare/decoded_sound.h"
#include "prepare/mono_mix.h"
#include "prepare/whole_recording.h"

namespace kelditra {

namespace {

constexpr size_t kBlockFrames = 8192;

// The resampler's quality setting, which mingw-w64's headers lack.
struct IWMResamplerProps : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE SetHalfFilterLength(LONG length) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetUserChannelMtx(float* matrix) = 0;
};
constexpr IID kResamplerPropsId = {
    0xE7E9984F, 0xF09F, 0x4DA4, {0x90, 0x3F, 0x6E, 0x2E, 0x0E, 0xFE, 0x56, 0xB5}};
constexpr double kHundredNanosecondsPerSecond = 1e7;

// Owns one reference to a COM object.
template <typename T>
class Com {
 public:
  Com() = default;
  ~Com() { Reset(); }
  Com(const Com&) = delete;
  Com& operator=(const Com&) = delete;

  T** Out() {
    Reset();
    return &object_;
  }
  T* operator->() const { return object_; }
  T* get() const { return object_; }

 private:
  void Reset() {
    if (object_ != nullptr) object_->Release();
    object_ = nullptr;
  }
  T* object_ = nullptr;
};

// COM and Media Foundation, for as long as one recording is read.
class MediaFoundationSession {
 public:
  MediaFoundationSession() {
    com_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED));
    started_ = SUCCEEDED(MFStartup(MF_VERSION, MFSTARTUP_LITE));
  }
  ~MediaFoundationSession() {
    if (started_) MFShutdown();
    if (com_) CoUninitialize();
  }
  MediaFoundationSession(const MediaFoundationSession&) = delete;
  MediaFoundationSession& operator=(const MediaFoundationSession&) = delete;

  bool started() const { return started_; }

 private:
  bool com_ = false;
  bool started_ = false;
};

std::string Code(HRESULT result) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(result));
  return text;
}

PrepareFailure Refusal(PrepareFailureKind kind, const std::string& reason = {}) {
  PrepareFailure failure;
  failure.kind = kind;
  failure.reason = reason;
  return failure;
}

// 32-bit float, one channel, at rate.
bool MakeMonoFloatType(uint32_t rate, Com<IMFMediaType>* type) {
  if (FAILED(MFCreateMediaType(type->Out()))) return false;
  IMFMediaType* t = type->get();
  return SUCCEEDED(t->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Audio)) &&
         SUCCEEDED(t->SetGUID(MF_MT_SUBTYPE, MFAudioFormat_Float)) &&
         SUCCEEDED(t->SetUINT32(MF_MT_AUDIO_SAMPLES_PER_SECOND, rate)) &&
         SUCCEEDED(t->SetUINT32(MF_MT_AUDIO_NUM_CHANNELS, 1)) &&
         SUCCEEDED(t->SetUINT32(MF_MT_AUDIO_BITS_PER_SAMPLE, 32)) &&
         SUCCEEDED(t->SetUINT32(MF_MT_AUDIO_BLOCK_ALIGNMENT, 4)) &&
         SUCCEEDED(t->SetUINT32(MF_MT_AUDIO_AVG_BYTES_PER_SECOND, 4 * rate)) &&
         SUCCEEDED(t->SetUINT32(MF_MT_ALL_SAMPLES_INDEPENDENT, TRUE));
}

// Appends the floats a sample holds.
bool AppendSample(IMFSample* sample, std::vector<float>* out) {
  Com<IMFMediaBuffer> buffer;
  if (FAILED(sample->ConvertToContiguousBuffer(buffer.Out()))) return false;
  BYTE* bytes = nullptr;
  DWORD length = 0;
  if (FAILED(buffer->Lock(&bytes, nullptr, &length))) return false;
  const auto* floats = reinterpret_cast<const float*>(bytes);
  out->insert(out->end(), floats, floats + length / sizeof(float));
  buffer->Unlock();
  return true;
}

// Mono samples at the recording's rate to 44100 Hz, through the resampler
// transform; taken as they are when the rate is 44100 Hz already.
class RateChanger {
 public:
  RateChanger(uint32_t input_rate, std::vector<float>* output) : output_(output) {
    if (input_rate == kSampleRate) return;
    Com<IMFMediaType> input;
    Com<IMFMediaType> wanted;
    ready_ = SUCCEEDED(CoCreateInstance(CLSID_CResamplerMediaObject, nullptr,
                                        CLSCTX_INPROC_SERVER, IID_IMFTransform,
                                        reinterpret_cast<void**>(resampler_.Out()))) &&
             MakeMonoFloatType(input_rate, &input) && MakeMonoFloatType(kSampleRate, &wanted) &&
             SUCCEEDED(resampler_->SetInputType(0, input.get(), 0)) &&
             SUCCEEDED(resampler_->SetOutputType(0, wanted.get(), 0));
    if (!ready_) return;
    // The longest filter Windows offers; a resampler without the setting
    // (Wine's) keeps its own.
    Com<IWMResamplerProps> properties;
    if (SUCCEEDED(resampler_->QueryInterface(kResamplerPropsId,
                                             reinterpret_cast<void**>(properties.Out())))) {
      properties->SetHalfFilterLength(60);
    }
    ready_ = SUCCEEDED(resampler_->ProcessMessage(MFT_MESSAGE_NOTIFY_BEGIN_STREAMING, 0));
  }

  bool ready() const { return ready_; }

  bool Feed(const float* mono, size_t count) {
    if (resampler_.get() == nullptr) {
      output_->insert(output_->end(), mono, mono + count);
      return true;
    }
    Com<IMFMediaBuffer> buffer;
    Com<IMFSample> sample;
    BYTE* bytes = nullptr;
    const auto length = static_cast<DWORD>(count * sizeof(float));
    if (FAILED(MFCreateMemoryBuffer(length, buffer.Out())) ||
        FAILED(buffer->Lock(&bytes, nullptr, nullptr))) {
      return false;
    }
    std::memcpy(bytes, mono, length);
    buffer->Unlock();
    if (FAILED(buffer->SetCurrentLength(length)) || FAILED(MFCreateSample(sample.Out())) ||
        FAILED(sample->AddBuffer(buffer.get()))) {
      return false;
    }
    HRESULT taken = resampler_->ProcessInput(0, sample.get(), 0);
    if (taken == MF_E_NOTACCEPTING) {
      if (!Collect()) return false;
      taken = resampler_->ProcessInput(0, sample.get(), 0);
    }
    return SUCCEEDED(taken) && Collect();
  }

  // What the filter still holds.
  bool Finish() {
    if (resampler_.get() == nullptr) return true;
    return SUCCEEDED(resampler_->ProcessMessage(MFT_MESSAGE_NOTIFY_END_OF_STREAM, 0)) &&
           SUCCEEDED(resampler_->ProcessMessage(MFT_MESSAGE_COMMAND_DRAIN, 0)) && Collect();
  }

 private:
  bool Collect() {
    MFT_OUTPUT_STREAM_INFO info{};
    if (FAILED(resampler_->GetOutputStreamInfo(0, &info))) return false;
    const DWORD size = std::max<DWORD>(info.cbSize, 4 * kBlockFrames);
    for (;;) {
      Com<IMFMediaBuffer> buffer;
      Com<IMFSample> sample;
      if (FAILED(MFCreateMemoryBuffer(size, buffer.Out())) ||
          FAILED(MFCreateSample(sample.Out())) || FAILED(sample->AddBuffer(buffer.get()))) {
        return false;
      }
      MFT_OUTPUT_DATA_BUFFER data{};
      data.pSample = sample.get();
      DWORD status = 0;
      const HRESULT made = resampler_->ProcessOutput(0, 1, &data, &status);
      if (data.pEvents != nullptr) data.pEvents->Release();
      if (made == MF_E_TRANSFORM_NEED_MORE_INPUT) return true;
      if (FAILED(made) || !AppendSample(sample.get(), output_)) return false;
    }
  }

  std::vector<float>* output_;
  Com<IMFTransform> resampler_;
  bool ready_ = true;
};

// The recording's length as its container tells it, in seconds; 0 when it
// does not.
double ToldSeconds(IMFSourceReader* reader) {
  PROPVARIANT value;
  PropVariantInit(&value);
  double seconds = 0;
  if (SUCCEEDED(reader->GetPresentationAttribute(MF_SOURCE_READER_MEDIASOURCE, MF_PD_DURATION,
                                                 &value)) &&
      value.vt == VT_UI8) {
    seconds = static_cast<double>(value.uhVal.QuadPart) / kHundredNanosecondsPerSecond;
  }
  PropVariantClear(&value);
  return seconds;
}

PrepareFailure DecodeWithReader(IMFSourceReader* reader, DecodedSound* sound) {
  constexpr DWORD kAudio = static_cast<DWORD>(MF_SOURCE_READER_FIRST_AUDIO_STREAM);
  Com<IMFMediaType> wanted;
  Com<IMFMediaType> given;
  UINT32 rate = 0;
  UINT32 channels = 0;
  if (FAILED(reader->SetStreamSelection(static_cast<DWORD>(MF_SOURCE_READER_ALL_STREAMS), FALSE)) ||
      FAILED(reader->SetStreamSelection(kAudio, TRUE)) || FAILED(MFCreateMediaType(wanted.Out())) ||
      FAILED(wanted->SetGUID(MF_MT_MAJOR_TYPE, MFMediaType_Audio)) ||
      FAILED(wanted->SetGUID(MF_MT_SUBTYPE, MFAudioFormat_Float))) {
    return Refusal(PrepareFailureKind::kNotARecording, "it holds no sound Windows decodes");
  }
  const HRESULT set = reader->SetCurrentMediaType(kAudio, nullptr, wanted.get());
  if (FAILED(set) || FAILED(reader->GetCurrentMediaType(kAudio, given.Out())) ||
      FAILED(given->GetUINT32(MF_MT_AUDIO_SAMPLES_PER_SECOND, &rate)) ||
      FAILED(given->GetUINT32(MF_MT_AUDIO_NUM_CHANNELS, &channels))) {
    return Refusal(PrepareFailureKind::kNotARecording,
                   "Windows cannot decode its sound to samples, error " + Code(set));
  }
  sound->source_rate = static_cast<int32_t>(rate);
  sound->source_channels = static_cast<int32_t>(channels);
  if (!UsableLayout(rate, channels)) {
    PrepareFailure failure = Refusal(PrepareFailureKind::kUnusableLayout);
    failure.rate = rate;
    failure.channels = channels;
    return failure;
  }
  const double told = ToldSeconds(reader);
  if (told * kSampleRate > static_cast<double>(MostPreparedSamples())) {
    PrepareFailure failure = Refusal(PrepareFailureKind::kTooLong);
    failure.seconds = told;
    return failure;
  }
  std::vector<float>& samples = sound->samples;
  samples.reserve(static_cast<size_t>(told * kSampleRate) + 4096);
  RateChanger rate_changer(rate, &samples);
  if (!rate_changer.ready()) {
    return Refusal(PrepareFailureKind::kNotOnThisPlatform,
                   "the audio resampler of this Windows cannot be set up");
  }

  MonoMix mix(static_cast<int32_t>(channels));
  std::vector<float> frames;
  std::vector<float> mono;
  int64_t frames_read = 0;
  for (;;) {
    DWORD flags = 0;
    LONGLONG time = 0;
    Com<IMFSample> sample;
    const HRESULT read = reader->ReadSample(kAudio, 0, nullptr, &flags, &time, sample.Out());
    if (FAILED(read) || (flags & MF_SOURCE_READERF_ERROR) != 0 ||
        (flags & MF_SOURCE_READERF_CURRENTMEDIATYPECHANGED) != 0) {
      PrepareFailure failure = Refusal(PrepareFailureKind::kDamaged, "error " + Code(read));
      failure.seconds = static_cast<double>(frames_read) / rate;
      return failure;
    }
    if ((flags & MF_SOURCE_READERF_ENDOFSTREAM) != 0) break;
    if (sample.get() == nullptr) continue;
    frames.clear();
    if (!AppendSample(sample.get(), &frames)) return Refusal(PrepareFailureKind::kNoMemory);
    const size_t count = frames.size() / channels;
    mono.resize(count);
    mix.Mix(frames.data(), count, mono.data());
    frames_read += static_cast<int64_t>(count);
    if (!rate_changer.Feed(mono.data(), count)) {
      return Refusal(PrepareFailureKind::kNotOnThisPlatform, "the audio resampler failed");
    }
    if (static_cast<int64_t>(samples.size()) > MostPreparedSamples()) {
      return Refusal(PrepareFailureKind::kTooLong);
    }
  }
  // A decoder takes a stream cut short for a shorter one; the container
  // still tells the length it had. Some slack for lengths that are only
  // estimated (an MP3 file without a table of its frames).
  const double decoded = static_cast<double>(frames_read) / rate;
  if (told > 0 && decoded < 0.98 * told - 0.05) {
    PrepareFailure failure = Refusal(PrepareFailureKind::kDamaged);
    failure.seconds = decoded;
    return failure;
  }
  if (!rate_changer.Finish()) {
    return Refusal(PrepareFailureKind::kNotOnThisPlatform, "the audio resampler failed");
  }
  sound->silent_channels = mix.SilentChannels();
  mix.RestoreLevel(&samples);
  if (frames_read == 0 || samples.empty()) return Refusal(PrepareFailureKind::kEmpty);
  if (static_cast<int64_t>(samples.size()) < kFrameLength) {
    return Refusal(PrepareFailureKind::kShorterThanFrame);
  }
  return {};
}

// The first and the last bytes of the file, for the signs of a cut one.
bool ReadEnds(PlatformFile file, int64_t length, std::vector<uint8_t>* head,
              std::vector<uint8_t>* tail) {
  head->resize(static_cast<size_t>(std::clamp<int64_t>(length, 0, kEndLooked)));
  tail->resize(head->size());
  LARGE_INTEGER tail_start;
  tail_start.QuadPart = length - static_cast<int64_t>(tail->size());
  const auto size = static_cast<uint32_t>(head->size());
  return size == 0 ||
         (ReadFrom(file, head->data(), size) == size &&
          SetFilePointerEx(reinterpret_cast<HANDLE>(file.handle), tail_start, nullptr, FILE_BEGIN) &&
          ReadFrom(file, tail->data(), size) == size);
}

// An Ogg stream whose last page is missing, or a WAV file short of the data
// it declares.
bool LooksCut(const std::vector<uint8_t>& head, const std::vector<uint8_t>& tail, int64_t length) {
  const bool ogg = head.size() >= 4 && std::memcmp(head.data(), "OggS", 4) == 0;
  return (ogg && !OggTailEndsStream(tail.data(), tail.size())) ||
         !WaveHeadHoldsItsData(head.data(), static_cast<int64_t>(head.size()), length);
}

}  // namespace

PrepareFailure DecodeRecording(const std::string& path, DecodedSound* sound) {
  PlatformFile opened;
  FileProblem problem;
  if (const OpenStatus status = OpenForReading(path.c_str(), &opened, &problem);
      status != OpenStatus::kOpened) {
    return CannotRead(path, status, problem);
  }
  const int64_t length = LengthOf(opened);
  std::vector<uint8_t> head;
  std::vector<uint8_t> tail;
  const bool read = ReadEnds(opened, length, &head, &tail);
  CloseFile(opened);
  if (!read || LooksCut(head, tail, length)) return Refusal(PrepareFailureKind::kDamaged);
  if (length == 0) return Refusal(PrepareFailureKind::kNotARecording, "it is empty");

  MediaFoundationSession session;
  if (!session.started()) {
    return Refusal(PrepareFailureKind::kNotOnThisPlatform, "Media Foundation cannot be started");
  }
  // The file opened above, so its name is well-formed.
  std::wstring wide_path;
  WidenUtf8(path, &wide_path);
  Com<IMFSourceReader> reader;
  const HRESULT opened_reader = MFCreateSourceReaderFromURL(wide_path.c_str(), nullptr, reader.Out());
  if (FAILED(opened_reader)) {
    return Refusal(PrepareFailureKind::kNotARecording,
                   "Windows has no decoder for it, error " + Code(opened_reader));
  }
  try {
    return DecodeWithReader(reader.get(), sound);
  } catch (const std::bad_alloc&) {
    sound->samples = {};
    return Refusal(PrepareFailureKind::kNoMemory);
  }
}

}  // namespace kelditra
