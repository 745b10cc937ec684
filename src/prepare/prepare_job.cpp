#include "prepare/prepare_job.h"

#include <algorithm>
#include <vector>

#include "formats/sound_timing.h"
#include "formats/parameter_file.h"
#include "formats/paths.h"
#include "formats/pitch_track.h"
#include "formats/wave_reader.h"
#include "formats/wave_writer.h"
#include "io/platform_file.h"
#include "io/whole_file.h"
#include "prepare/decoded_sound.h"
#include "prepare/prepared_names.h"
#include "prepare/sixteen_bits.h"

namespace kelditra {

namespace {

// Samples written or read at a time: a few hundred kilobytes, however long
// the sound.
constexpr size_t kBlockSamples = 1 << 17;

PrepareFailure Refusal(PrepareFailureKind kind, const std::string& path) {
  PrepareFailure failure;
  failure.kind = kind;
  failure.path = path;
  return failure;
}

// A folder or a FIFO of that name is as much in the way as a file.
bool NameTaken(const std::string& path) {
  PlatformFile file;
  FileProblem problem;
  const OpenStatus status = OpenForReading(path.c_str(), &file, &problem);
  if (status == OpenStatus::kOpened) CloseFile(file);
  return status == OpenStatus::kOpened ||
         (status == OpenStatus::kFailed && problem.kind == FileProblemKind::kNotRegularFile);
}

PrepareFailure WriteFailure(NewFileStatus status, const std::string& path,
                            const FileProblem& problem) {
  if (status == NewFileStatus::kWritten) return {};
  PrepareFailure failure = Refusal(status == NewFileStatus::kExists
                                       ? PrepareFailureKind::kNameTaken
                                       : PrepareFailureKind::kWriteFailed,
                                   path);
  failure.file_problem = problem;
  return failure;
}

PrepareFailure WriteSound(const std::vector<float>& samples, const std::string& path) {
  FileProblem problem;
  const NewFileStatus status = WriteNewFile(path, [&](const ByteSink& sink) {
    const std::vector<uint8_t> header =
        MonoWaveHeader(static_cast<uint32_t>(samples.size()), kSampleRate);
    if (!sink(header.data(), static_cast<uint32_t>(header.size()))) return false;
    std::vector<uint8_t> block;
    for (size_t start = 0; start < samples.size(); start += kBlockSamples) {
      const size_t end = std::min(samples.size(), start + kBlockSamples);
      block.clear();
      for (size_t i = start; i < end; ++i) {
        const auto value = static_cast<uint16_t>(SixteenBitValue(samples[i]));
        block.push_back(static_cast<uint8_t>(value & 0xFF));
        block.push_back(static_cast<uint8_t>(value >> 8));
      }
      if (!sink(block.data(), static_cast<uint32_t>(block.size()))) return false;
    }
    return true;
  }, &problem);
  return WriteFailure(status, path, problem);
}

// The one place a prepared sound gets its pitch track.
PrepareFailure WriteTrack(const std::vector<float>& samples, const PrepareSettings& settings,
                          PrepareOutcome* outcome) {
  const std::vector<uint16_t> track = TrackPitch(samples, settings.pitch);
  std::vector<uint8_t> records(track.size() * kPitchRecordBytes);
  StoreFundamentals(track, records.data());
  for (const uint16_t hz : track) outcome->voiced_frames += hz > 0 ? 1 : 0;
  outcome->frames = static_cast<int32_t>(track.size());
  FileProblem problem;
  const NewFileStatus status = WriteNewFile(outcome->track_path, [&](const ByteSink& sink) {
    return records.empty() || sink(records.data(), static_cast<uint32_t>(records.size()));
  }, &problem);
  return WriteFailure(status, outcome->track_path, problem);
}

// Whether the header alone rules out the conversion's reading the file as
// it is, which saves loading a large recording that needs preparing anyway.
bool MayBeAcceptedAsItIs(const std::string& path) {
  if (!HasWaveExtension(path)) return false;
  std::vector<uint8_t> head;
  int64_t length = 0;
  if (!ReadFileHead(path, static_cast<uint32_t>(kWaveHeaderWindow) + 64, &head, &length)) {
    return false;
  }
  const WaveDescription found = DescribeWave(head.data(), static_cast<int64_t>(head.size()), length);
  return found.format_tag == 1 && found.channels == 1 && found.bits_per_sample == 16 &&
         found.sample_rate == kSampleRate;
}

// The conversion's own verdict on the file, from its header and its length
// alone (the reader looks no further), and then its samples, read a block at
// a time rather than loaded whole beside them. False when the conversion
// refuses the file.
bool ReadAsTheConversionDoes(const std::string& path, std::vector<float>* samples) {
  std::vector<uint8_t> head;
  int64_t length = 0;
  // As much as a refusal describes, so that the reader's description of a
  // refused file stays inside what was read.
  if (!ReadFileHead(path, static_cast<uint32_t>(kWaveDescribedBytes), &head, &length) ||
      length > INT32_MAX - static_cast<int64_t>(kWaveExtraBytes)) {
    return false;
  }
  head.resize(head.size() + kWaveExtraBytes, 0);  // as the loader leaves a block
  WaveSamples wave;
  if (ReadWave(head.data(), static_cast<int32_t>(length), &wave) ||
      wave.count / kFrameLength > kRecordCapacity) {
    return false;
  }
  PlatformFile file;
  if (OpenForReading(path.c_str(), &file) != OpenStatus::kOpened) return false;
  // The samples start within the header's window: read up to there first.
  const auto offset = static_cast<uint32_t>(wave.data - head.data());
  std::vector<uint8_t> block(std::max<size_t>(offset, kBlockSamples * 2));
  bool whole = ReadFrom(file, block.data(), offset) == offset;
  samples->resize(static_cast<size_t>(wave.count));
  for (size_t start = 0; whole && start < samples->size(); start += kBlockSamples) {
    const size_t count = std::min(samples->size() - start, kBlockSamples);
    whole = ReadFrom(file, block.data(), static_cast<uint32_t>(2 * count)) ==
            static_cast<int64_t>(2 * count);
    for (size_t i = 0; whole && i < count; ++i) {
      const auto value = static_cast<int16_t>(block[2 * i] | block[2 * i + 1] << 8);
      (*samples)[start + i] = value / 32768.0f;
    }
  }
  CloseFile(file);
  return whole;
}

PrepareOutcome Prepare(const std::string& path, const PrepareSettings& settings) {
  PrepareOutcome outcome;
  std::vector<float> samples;
  if (MayBeAcceptedAsItIs(path) && ReadAsTheConversionDoes(path, &samples)) {
    outcome.taken_as_it_is = true;
    outcome.wave_path = path;
    outcome.track_path = MadeFilePath(path, settings.output_folder, ".dat");
    outcome.source_rate = kSampleRate;
    outcome.source_channels = 1;
    outcome.samples = static_cast<int64_t>(samples.size());
    if (NameTaken(outcome.track_path)) {
      outcome.failure = Refusal(PrepareFailureKind::kNameTaken, outcome.track_path);
      return outcome;
    }
    outcome.failure = WriteTrack(samples, settings, &outcome);
    return outcome;
  }

  outcome.wave_path = PreparedWavePath(path, settings.output_folder);
  outcome.track_path = MadeFilePath(outcome.wave_path, "", ".dat");
  for (const std::string* made : {&outcome.wave_path, &outcome.track_path}) {
    if (NameTaken(*made)) {
      outcome.failure = Refusal(PrepareFailureKind::kNameTaken, *made);
      return outcome;
    }
  }

  DecodedSound sound;
  outcome.failure = DecodeRecording(path, &sound);
  outcome.source_rate = sound.source_rate;
  outcome.source_channels = sound.source_channels;
  outcome.silent_channels = sound.silent_channels;
  if (outcome.failure.failed()) return outcome;
  outcome.samples = static_cast<int64_t>(sound.samples.size());
  outcome.clipped = RoundToSixteenBits(&sound.samples);

  outcome.failure = WriteSound(sound.samples, outcome.wave_path);
  if (outcome.failure.failed()) return outcome;
  outcome.failure = WriteTrack(sound.samples, settings, &outcome);
  // The sound without its track is no half of a success: it goes too.
  if (outcome.failure.failed()) RemoveFile(outcome.wave_path.c_str());
  return outcome;
}

}  // namespace

PrepareOutcome RunPrepareJob(const std::string& recording_path, const PrepareSettings& settings) {
  PrepareOutcome outcome = Prepare(recording_path, settings);
  if (outcome.failure.failed() && outcome.failure.path.empty()) {
    outcome.failure.path = recording_path;
  }
  return outcome;
}

}  // namespace kelditra
