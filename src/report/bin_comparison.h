#pragma once

#include <cstdint>
#include <vector>

#include "formats/parameter_file.h"
#include "report/report_frame.h"

namespace kelditra {

// How an existing FILE.bin stands to the search the report just ran.
enum class BinAgreement {
  kNoBin,           // there is no FILE.bin
  kSame,            // every record is the search's choice
  kSomeDiffer,      // a few frames differ: listed one by one
  kMostDiffer,      // most sounding frames differ: another voice table, most likely
  kOtherLength,     // the record count is not the frame count: another sound
};

struct BinComparison {
  BinAgreement agreement = BinAgreement::kNoBin;
  int32_t records = 0;                       // whole records in the .bin
  std::vector<int32_t> differing_frames;     // ascending; empty for kOtherLength
  std::vector<ParameterRecord> bin_records;  // the .bin's record of each differing frame
};

// bytes is the .bin as loaded, nullptr when there is none.
BinComparison CompareWithBin(const uint8_t* bytes, int32_t length,
                             const std::vector<ReportFrame>& frames);

}  // namespace kelditra
