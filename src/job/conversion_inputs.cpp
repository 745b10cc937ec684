#include "job/conversion_inputs.h"

#include "formats/parameter_file.h"
#include "formats/pitch_track.h"
#include "formats/sound_timing.h"
#include "formats/voice_table.h"
#include "io/whole_file.h"
#include "job/kept_voice_table.h"

namespace kelditra {

Failure LoadVoiceTable(const std::string& path, KeptVoiceTable* kept, VoiceTableInput* table) {
  table->path = path;
  table->kept = kept;
  if (kept != nullptr && IdentityOf(path.c_str(), &table->identity)) {
    table->prepared = kept->Find(path, table->identity);
    if (table->prepared != nullptr) return {};
  }
  int32_t table_length = 0;
  Failure failure = LoadFile(path, 0, &table->block, &table_length);
  // Preparation and search address every entry; a short table would send
  // them past the block.
  if (!failure && table_length < kVoiceTableBytes) {
    failure = FileFailure(FailureKind::kBadVoiceTableSize, path);
    failure.file_length = table_length;
  }
  return InRole(failure, FileRole::kVoiceTable);
}

PreparedTable& PrepareLoadedTable(VoiceTableInput* table, std::unique_ptr<PreparedTable>* fresh) {
  if (table->prepared != nullptr) return *table->prepared;
  // The layout's tens of megabytes on large pages where the platform has them.
  auto prepared = std::make_unique<PreparedTable>(table->block,
                                                  LargeBlockAllocator{AllocateLarge, FreeLarge});
  if (table->kept != nullptr && table->identity.size >= 0) {
    table->prepared = &table->kept->Keep(table->path, table->identity, std::move(prepared));
  } else {
    *fresh = std::move(prepared);
    table->prepared = fresh->get();
  }
  return *table->prepared;
}

Failure LoadConversionInputs(const std::string& wave_path, const std::string& pitch_track_path,
                             const std::string& table_path, KeptVoiceTable* kept,
                             ConversionInputs* inputs) {
  if (Failure failure = LoadVoiceTable(table_path, kept, &inputs->table)) return failure;

  if (Failure failure = LoadFile(pitch_track_path, kPitchTrackExtraBytes, &inputs->pitch_track,
                                 &inputs->pitch_track_length)) {
    return InRole(failure, FileRole::kPitchTrack);
  }

  uint8_t* wave = nullptr;
  int32_t wave_length = 0;
  Failure failure = LoadFile(wave_path, kWaveExtraBytes, &wave, &wave_length);
  if (!failure) failure = ReadWave(wave, wave_length, &inputs->samples);
  if (failure) {
    failure.path = wave_path;
    return InRole(failure, FileRole::kSound);
  }

  inputs->frame_count = inputs->samples.count / kFrameLength;
  if (inputs->frame_count > kRecordCapacity) {
    failure = InRole(FileFailure(FailureKind::kWaveTooLong, wave_path), FileRole::kSound);
    failure.frames = inputs->frame_count;
    return failure;
  }
  return {};
}

SoundCounts CountSound(const ConversionInputs& inputs) {
  SoundCounts counts;
  counts.samples = inputs.samples.count;
  counts.frames = inputs.frame_count;
  counts.voiced_frames = 0;
  for (int32_t frame = 0; frame < inputs.frame_count; ++frame) {
    const int32_t hz = FrameFundamental(inputs.pitch_track, inputs.pitch_track_length, frame);
    counts.voiced_frames += hz > 0 ? 1 : 0;
  }
  counts.track_frames = inputs.pitch_track_length / kPitchRecordBytes;
  return counts;
}

}  // namespace kelditra
