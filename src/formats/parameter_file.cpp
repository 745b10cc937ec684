#include "formats/parameter_file.h"

#include <bit>

#include "formats/byte_order.h"
#include "formats/voice_table.h"
#include "io/whole_file.h"

namespace kelditra {

static_assert(std::endian::native == std::endian::little,
              "records are written as they lie in memory");

void ClearRecordArray(RecordArray& records, int32_t frame_count) {
  records.assign(static_cast<size_t>(frame_count), ParameterRecord{});
}

void StoreRecord(RecordArray& records, int32_t frame, int32_t voice, int32_t frequency,
                 int32_t gain) {
  records[static_cast<size_t>(frame)] = RecordOf(voice, frequency, gain);
}

Failure WriteParameterFile(const RecordArray& records, const std::string& base_path,
                           int32_t record_count) {
  return SaveFile(records.data(), static_cast<uint32_t>(record_count) * sizeof(ParameterRecord),
                  base_path + ".bin");
}

ParameterRecord DecodeRecord(const uint8_t* bytes) {
  return {static_cast<int32_t>(ReadLittle32(bytes)), static_cast<int32_t>(ReadLittle32(bytes + 4)),
          static_cast<int32_t>(ReadLittle32(bytes + 8)),
          static_cast<int32_t>(ReadLittle32(bytes + 12))};
}

// A voice outside the table or a negative field cannot be sounded. Gains past
// the ladder's top (up to 65535) and frequencies past the audible range (up
// to twice 65535) are taken all the same: a hand-made file may want them, and
// they cost no more than clipping or silence.
Failure DecodeParameterFile(const uint8_t* bytes, int32_t length,
                            std::vector<ParameterRecord>* records) {
  Failure refused;
  refused.kind = FailureKind::kBadParameterFile;
  refused.file_length = length;
  // A conversion never writes more; past it a preview would not fit a WAV
  // file, nor, long before that, in memory.
  if (length % kRecordBytes != 0 || length / kRecordBytes > kRecordCapacity) return refused;
  std::vector<ParameterRecord> decoded;
  decoded.reserve(static_cast<size_t>(length / kRecordBytes));
  for (int32_t index = 0; index < length / kRecordBytes; ++index) {
    const ParameterRecord record = DecodeRecord(bytes + int64_t{index} * kRecordBytes);
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
        refused.record = {index, checked.name, checked.value, checked.highest};
        return refused;
      }
    }
    decoded.push_back(record);
  }
  *records = std::move(decoded);
  return {};
}

}  // namespace kelditra
