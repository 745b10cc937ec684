#include "preview/preview_file.h"

#include <memory>
#include <vector>

#include "formats/byte_order.h"
#include "formats/parameter_file.h"
#include "formats/voice_table.h"
#include "formats/wave_writer.h"
#include "io/pool.h"
#include "io/whole_file.h"
#include "job/conversion_inputs.h"
#include "preview/preview_synthesis.h"
#include "resources/messages.h"

namespace {

constexpr uint32_t kSampleRate = 44100;

std::string FieldOutOfRange(int32_t record, const char* field, int32_t value, int32_t highest) {
  return "record " + std::to_string(record) + " (byte " + std::to_string(int64_t{record} * 16) +
         "): " + field + " " + std::to_string(value) + " is not within 0.." +
         std::to_string(highest);
}

// Decodes the records. A voice outside the table or a negative field cannot
// be sounded, and refuses the file. Gains past the ladder's top (up to 65535)
// and frequencies past the audible range (up to twice 65535) are sounded all
// the same: a hand-made file may want them, and they cost no more than
// clipping or silence.
std::string DecodeRecords(const uint8_t* bytes, int32_t length,
                          std::vector<ParameterRecord>* records) {
  constexpr int32_t kRecordBytes = sizeof(ParameterRecord);
  if (length % kRecordBytes != 0) {
    return std::to_string(length) + " bytes, not a whole number of " +
           std::to_string(kRecordBytes) + "-byte records";
  }
  // A conversion never writes more; past it the preview would not fit a WAV
  // file, nor, long before that, in memory.
  if (length / kRecordBytes > kRecordCapacity) {
    return std::to_string(length / kRecordBytes) + " records, more than the " +
           std::to_string(kRecordCapacity) + " of the longest conversion";
  }
  for (int32_t index = 0; index < length / kRecordBytes; ++index) {
    const uint8_t* field = bytes + int64_t{index} * kRecordBytes;
    const ParameterRecord record{static_cast<int32_t>(ReadLittle32(field)),
                                 static_cast<int32_t>(ReadLittle32(field + 4)),
                                 static_cast<int32_t>(ReadLittle32(field + 8)),
                                 static_cast<int32_t>(ReadLittle32(field + 12))};
    const struct {
      const char* name;
      int32_t value;
      int32_t highest;
    } fields[] = {
        {"voice / 16", record.voice_high, kVoiceCount / 16 - 1},
        {"frequency", record.frequency, 2 * 65535},
        {"gain", record.gain, 65535},
        {"voice % 16", record.voice_low, 15},
    };
    for (const auto& checked : fields) {
      if (checked.value < 0 || checked.value > checked.highest) {
        return FieldOutOfRange(index, checked.name, checked.value, checked.highest);
      }
    }
    records->push_back(record);
  }
  return {};
}

std::string Preview(const std::string& parameter_path, const std::string& preview_path,
                    const std::string& voice_table_path, int64_t* clipped, int32_t* frames) {
  VoiceTableInput table;
  std::string message = LoadVoiceTable(voice_table_path, nullptr, &table);
  if (!message.empty()) return message;

  uint8_t* parameters = nullptr;
  int32_t parameters_length = 0;
  // A few spare bytes: an empty parameter file (a valid conversion of a very
  // short sound) must not ask the pool for nothing, which would release it.
  message = LoadFile(parameter_path, sizeof(ParameterRecord), &parameters, &parameters_length);
  if (!message.empty()) return message;

  std::unique_ptr<PreparedTable> prepared;
  PrepareLoadedTable(&table, &prepared);
  std::vector<uint8_t> wave;
  message = PreviewWaveBytes(parameters, parameters_length, prepared->view().entries, &wave,
                             clipped);
  if (!message.empty()) return parameter_path + ": " + message;
  *frames = parameters_length / static_cast<int32_t>(sizeof(ParameterRecord));
  if (SaveFile(wave.data(), static_cast<uint32_t>(wave.size()), preview_path) != 0) {
    return MessageText(MessageId::kWriteFailed);
  }
  return {};
}

}  // namespace

std::string PreviewWaveBytes(const uint8_t* parameters, int32_t length,
                             const uint8_t* prepared_table, std::vector<uint8_t>* wave,
                             int64_t* clipped) {
  *clipped = 0;
  std::vector<ParameterRecord> records;
  const std::string message = DecodeRecords(parameters, length, &records);
  if (!message.empty()) return message;
  *wave = MonoWaveBytes(SynthesizePreview(records, prepared_table, clipped), kSampleRate);
  return {};
}

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
