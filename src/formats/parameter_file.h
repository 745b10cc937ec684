#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One output record per frame, written as it lies in memory: four
// little-endian signed 32-bit fields, 16 bytes.
struct ParameterRecord {
  int32_t voice_high;  // voice index / 16
  int32_t frequency;   // Hz
  int32_t gain;        // ladder value, units of 1/4096
  int32_t voice_low;   // voice index % 16
};
static_assert(sizeof(ParameterRecord) == 16);

// The longest sound a job accepts: one record per frame.
inline constexpr int32_t kRecordCapacity = 262144;

// The records of one conversion, owned by the run that fills them.
using RecordArray = std::vector<ParameterRecord>;

// Makes room for frame_count records, every field zero.
void ClearRecordArray(RecordArray& records, int32_t frame_count);

void StoreRecord(RecordArray& records, int32_t frame, int32_t voice, int32_t frequency,
                 int32_t gain);

// Writes the first record_count records to base_path + ".bin". 0 when
// written, 1 when not.
int WriteParameterFile(const RecordArray& records, const std::string& base_path,
                       int32_t record_count);
