#include "job/conversion_inputs.h"

#include "analysis/frame_spectra.h"
#include "formats/parameter_file.h"
#include "formats/pitch_track.h"
#include "formats/voice_table.h"
#include "io/whole_file.h"
#include "job/kept_voice_table.h"
#include "resources/messages.h"

std::string LoadVoiceTable(const std::string& path, KeptVoiceTable* kept, VoiceTableInput* table) {
  table->path = path;
  table->kept = kept;
  if (kept != nullptr && IdentityOf(path.c_str(), &table->identity)) {
    table->prepared = kept->Find(path, table->identity);
    if (table->prepared != nullptr) return {};
  }
  int32_t table_length = 0;
  std::string message = LoadFile(path, 0, &table->block, &table_length);
  if (!message.empty()) return message;
  // Preparation and search address every entry; a short table would send
  // them past the block.
  if (table_length < kVoiceTableBytes) return MessageText(MessageId::kBadVoiceTableSize);
  return {};
}

PreparedTable& PrepareLoadedTable(VoiceTableInput* table, std::unique_ptr<PreparedTable>* fresh) {
  if (table->prepared != nullptr) return *table->prepared;
  auto prepared = std::make_unique<PreparedTable>(table->block);
  if (table->kept != nullptr && table->identity.size >= 0) {
    table->prepared = &table->kept->Keep(table->path, table->identity, std::move(prepared));
  } else {
    *fresh = std::move(prepared);
    table->prepared = fresh->get();
  }
  return *table->prepared;
}

std::string LoadConversionInputs(const std::string& wave_path, const std::string& pitch_track_path,
                                 const std::string& table_path, KeptVoiceTable* kept,
                                 ConversionInputs* inputs) {
  std::string message = LoadVoiceTable(table_path, kept, &inputs->table);
  if (!message.empty()) return message;

  message = LoadFile(pitch_track_path, kPitchTrackExtraBytes, &inputs->pitch_track,
                     &inputs->pitch_track_length);
  if (!message.empty()) return message;

  uint8_t* wave = nullptr;
  int32_t wave_length = 0;
  message = LoadFile(wave_path, kWaveExtraBytes, &wave, &wave_length);
  if (!message.empty()) return message;
  message = ReadWave(wave, wave_length, &inputs->samples);
  if (!message.empty()) return message;

  inputs->frame_count = inputs->samples.count / kFrameLength;
  if (inputs->frame_count > kRecordCapacity) return MessageText(MessageId::kWaveTooLong);
  return {};
}
