#include "formats/parameter_file.h"

#include <bit>

#include "io/whole_file.h"

static_assert(std::endian::native == std::endian::little,
              "records are written as they lie in memory");

void ClearRecordArray(RecordArray& records, int32_t frame_count) {
  records.assign(static_cast<size_t>(frame_count), ParameterRecord{});
}

void StoreRecord(RecordArray& records, int32_t frame, int32_t voice, int32_t frequency,
                 int32_t gain) {
  records[static_cast<size_t>(frame)] = {voice / 16, frequency, gain, voice % 16};
}

int WriteParameterFile(const RecordArray& records, const std::string& base_path,
                       int32_t record_count) {
  return SaveFile(records.data(), static_cast<uint32_t>(record_count) * sizeof(ParameterRecord),
                  base_path + ".bin");
}
