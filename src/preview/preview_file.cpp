#include "preview/preview_file.h"

#include <vector>

#include "formats/byte_order.h"
#include "formats/parameter_file.h"
#include "formats/voice_table.h"
#include "io/pool.h"
#include "io/whole_file.h"
#include "preview/preview_synthesis.h"
#include "resources/messages.h"

namespace {

constexpr uint32_t kSampleRate = 44100;

// Decodes the records, refusing anything no conversion could have written.
bool DecodeRecords(const uint8_t* bytes, int32_t length, std::vector<ParameterRecord>* records) {
  if (length % sizeof(ParameterRecord) != 0) return false;
  for (int32_t offset = 0; offset < length; offset += sizeof(ParameterRecord)) {
    const ParameterRecord record{static_cast<int32_t>(ReadLittle32(bytes + offset)),
                                 static_cast<int32_t>(ReadLittle32(bytes + offset + 4)),
                                 static_cast<int32_t>(ReadLittle32(bytes + offset + 8)),
                                 static_cast<int32_t>(ReadLittle32(bytes + offset + 12))};
    const bool valid = record.voice_high >= 0 && record.voice_high < kVoiceCount / 16 &&
                       record.voice_low >= 0 && record.voice_low < 16 && record.frequency >= 0 &&
                       record.frequency <= 2 * 65535 && record.gain >= 0 && record.gain <= 65535;
    if (!valid) return false;
    records->push_back(record);
  }
  return true;
}

void PutLittle(std::vector<uint8_t>* out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out->push_back(static_cast<uint8_t>(value >> (8 * i)));
}

std::vector<uint8_t> MonoWaveBytes(const std::vector<int16_t>& samples) {
  const uint32_t data_bytes = static_cast<uint32_t>(samples.size() * 2);
  std::vector<uint8_t> bytes = {'R', 'I', 'F', 'F'};
  PutLittle(&bytes, 36 + data_bytes, 4);
  for (char c : std::string("WAVEfmt ")) bytes.push_back(static_cast<uint8_t>(c));
  PutLittle(&bytes, 16, 4);
  PutLittle(&bytes, 1, 2);  // PCM
  PutLittle(&bytes, 1, 2);  // mono
  PutLittle(&bytes, kSampleRate, 4);
  PutLittle(&bytes, kSampleRate * 2, 4);
  PutLittle(&bytes, 2, 2);
  PutLittle(&bytes, 16, 2);
  for (char c : std::string("data")) bytes.push_back(static_cast<uint8_t>(c));
  PutLittle(&bytes, data_bytes, 4);
  for (int16_t sample : samples) PutLittle(&bytes, static_cast<uint16_t>(sample), 2);
  return bytes;
}

std::string Preview(const std::string& parameter_path, const std::string& preview_path,
                    const std::string& voice_table_path, int64_t* clipped, int32_t* frames) {
  uint8_t* table = nullptr;
  int32_t table_length = 0;
  std::string message = LoadFile(voice_table_path, 0, &table, &table_length);
  if (!message.empty()) return message;
  if (table_length < kVoiceTableBytes) return MessageText(MessageId::kBadVoiceTableSize);

  uint8_t* parameters = nullptr;
  int32_t parameters_length = 0;
  // A few spare bytes: an empty parameter file (a valid conversion of a very
  // short sound) must not ask the pool for nothing, which would release it.
  message = LoadFile(parameter_path, sizeof(ParameterRecord), &parameters, &parameters_length);
  if (!message.empty()) return message;
  std::vector<ParameterRecord> records;
  if (!DecodeRecords(parameters, parameters_length, &records)) {
    return parameter_path + kNotParameterFileSuffix;
  }
  *frames = static_cast<int32_t>(records.size());

  PrepareVoiceTable(table);
  const std::vector<int16_t> samples = SynthesizePreview(records, table, clipped);
  const std::vector<uint8_t> wave = MonoWaveBytes(samples);
  if (SaveFile(wave.data(), static_cast<uint32_t>(wave.size()), preview_path) != 0) {
    return MessageText(MessageId::kWriteFailed);
  }
  return {};
}

}  // namespace

std::string WritePreviewFile(const std::string& parameter_path, const std::string& preview_path,
                             const std::string& voice_table_path, int64_t* clipped,
                             int32_t* frames) {
  *clipped = 0;
  *frames = 0;
  const std::string message =
      Preview(parameter_path, preview_path, voice_table_path, clipped, frames);
  PoolAlloc(0);
  return message;
}
