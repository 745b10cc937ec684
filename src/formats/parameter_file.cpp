#include "formats/parameter_file.h"

#include <bit>
#include <cstring>

#include "io/whole_file.h"

static_assert(std::endian::native == std::endian::little,
              "records are written as they lie in memory");

ParameterRecord gRecordArray[kRecordCapacity];

void ClearRecordArray() { std::memset(gRecordArray, 0, sizeof gRecordArray); }

void StoreRecord(int32_t frame, int32_t voice, int32_t frequency, int32_t gain) {
  gRecordArray[frame] = {voice / 16, frequency, gain, voice % 16};
}

int WriteParameterFile(const std::string& base_path, int32_t record_count) {
  return SaveFile(gRecordArray, static_cast<uint32_t>(record_count) * sizeof(ParameterRecord),
                  base_path + ".bin");
}
