#include "pitch/pitch_job.h"

#include <vector>

#include "formats/pitch_track.h"
#include "formats/wave_reader.h"
#include "io/platform_file.h"
#include "io/pool.h"
#include "io/whole_file.h"
#include "formats/paths.h"

namespace kelditra {

namespace {

// Anything at that path but a confirmed absence counts as a track that may
// hold someone's work. The WAV file beside it has been read by then, so a
// missing folder is not what makes the open fail.
bool TrackMayExist(const std::string& track_path) {
  PlatformFile file;
  switch (OpenForReading(track_path.c_str(), &file)) {
    case OpenStatus::kOpened:
      CloseFile(file);
      return true;
    case OpenStatus::kNotFound:
      return false;
    case OpenStatus::kFailed:
      return true;
  }
  return true;
}

std::vector<float> SamplesOf(const WaveSamples& wave) {
  std::vector<float> samples(static_cast<size_t>(wave.count));
  for (int32_t i = 0; i < wave.count; ++i) {
    const auto value = static_cast<int16_t>(wave.data[2 * i] | wave.data[2 * i + 1] << 8);
    samples[i] = value / 32768.0f;
  }
  return samples;
}

PitchJobOutcome MakeTrack(const std::string& path, const PitchJobSettings& settings) {
  PitchJobOutcome outcome;
  uint8_t* wave_block = nullptr;
  int32_t wave_length = 0;
  outcome.failure = LoadFile(path, kWaveExtraBytes, &wave_block, &wave_length);
  WaveSamples wave;
  if (!outcome.failure) outcome.failure = ReadWave(wave_block, wave_length, &wave);
  if (outcome.failure) {
    outcome.failure.path = path;
    outcome.failure = InRole(outcome.failure, FileRole::kSound);
    return outcome;
  }

  outcome.track_path = MadeFilePath(path, settings.output_folder, ".dat");
  if (!settings.replace_existing && TrackMayExist(outcome.track_path)) {
    outcome.kept_existing = true;
    return outcome;
  }

  const std::vector<uint16_t> track = TrackPitch(SamplesOf(wave), settings.pitch);
  const uint64_t byte_count = uint64_t{track.size()} * kPitchRecordBytes;
  uint8_t* records = nullptr;
  if (byte_count > 0) {
    // Size 0 would empty the pool rather than hand out a block.
    records = static_cast<uint8_t*>(PoolAlloc(static_cast<uint32_t>(byte_count)));
    if (records == nullptr) {
      outcome.failure = InRole(FileFailure(FailureKind::kNoMemory, outcome.track_path),
                               FileRole::kOutput);
      return outcome;
    }
    StoreFundamentals(track, records);
  }
  outcome.failure = SaveFile(records, static_cast<uint32_t>(byte_count), outcome.track_path);
  if (outcome.failure) return outcome;

  for (const uint16_t hz : track) outcome.voiced_frames += hz > 0 ? 1 : 0;
  outcome.frames = static_cast<int32_t>(track.size());
  outcome.written = true;
  return outcome;
}

}  // namespace

PitchJobOutcome RunPitchJob(const std::string& wave_path, const PitchJobSettings& settings) {
  const std::string path = TrimTrailingWhiteSpace(wave_path);
  if (!HasWaveExtension(path)) {
    PitchJobOutcome outcome;
    outcome.failure = FileFailure(FailureKind::kNotWaveFile, path);
    return outcome;
  }
  PitchJobOutcome outcome = MakeTrack(path, settings);
  PoolAlloc(0);
  return outcome;
}

}  // namespace kelditra
