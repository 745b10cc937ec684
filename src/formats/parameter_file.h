#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "io/failure.h"

namespace kelditra {

// One output record per frame, written as it lies in memory: four
// little-endian signed 32-bit fields, 16 bytes.
struct ParameterRecord {
  int32_t voice_high;  // voice index / 16
  int32_t frequency;   // Hz
  int32_t gain;        // ladder value, units of 1/4096
  int32_t voice_low;   // voice index % 16

  int32_t Voice() const { return voice_high * 16 + voice_low; }
  bool operator==(const ParameterRecord&) const = default;
};
static_assert(sizeof(ParameterRecord) == 16);

inline constexpr int32_t kRecordBytes = sizeof(ParameterRecord);

// The record of a frame: the voice index split in two, as the file holds it.
inline ParameterRecord RecordOf(int32_t voice, int32_t frequency, int32_t gain) {
  return {voice / 16, frequency, gain, voice % 16};
}

// The longest sound a job accepts: one record per frame.
inline constexpr int32_t kRecordCapacity = 262144;

// The records of one conversion, owned by the run that fills them.
using RecordArray = std::vector<ParameterRecord>;

// Makes room for frame_count records, every field zero.
void ClearRecordArray(RecordArray& records, int32_t frame_count);

void StoreRecord(RecordArray& records, int32_t frame, int32_t voice, int32_t frequency,
                 int32_t gain);

// Writes the first record_count records to base_path + ".bin".
Failure WriteParameterFile(const RecordArray& records, const std::string& base_path,
                           int32_t record_count);

// The record at bytes, fields as they are.
ParameterRecord DecodeRecord(const uint8_t* bytes);

// Every record of a parameter file's bytes, each field checked: a file that
// is not whole records, holds more than a conversion writes, or has a field
// outside what can be sounded is refused (kBadParameterFile, the first fault
// in record), with no records.
Failure DecodeParameterFile(const uint8_t* bytes, int32_t length,
                            std::vector<ParameterRecord>* records);

}  // namespace kelditra
