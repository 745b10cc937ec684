#include "report/bin_comparison.h"

namespace kelditra {

BinComparison CompareWithBin(const uint8_t* bytes, int32_t length,
                             const std::vector<ReportFrame>& frames) {
  BinComparison comparison;
  if (bytes == nullptr || length < 0) return comparison;
  comparison.records = length / static_cast<int32_t>(sizeof(ParameterRecord));
  if (length % sizeof(ParameterRecord) != 0 ||
      comparison.records != static_cast<int32_t>(frames.size())) {
    comparison.agreement = BinAgreement::kOtherLength;
    return comparison;
  }
  int32_t sounding = 0;
  for (int32_t i = 0; i < comparison.records; ++i) {
    const ParameterRecord record = DecodeRecord(bytes + int64_t{i} * kRecordBytes);
    const ReportFrame& chosen = frames[static_cast<size_t>(i)];
    if (!chosen.silent) ++sounding;
    if (record != RecordOf(chosen.voice, chosen.frequency, chosen.gain)) {
      comparison.differing_frames.push_back(i);
      comparison.bin_records.push_back(record);
    }
  }
  // Silent frames get the same record from any table, so "most" is counted
  // among the frames that sound.
  const int32_t differing = static_cast<int32_t>(comparison.differing_frames.size());
  comparison.agreement = differing == 0              ? BinAgreement::kSame
                         : 2 * differing > sounding ? BinAgreement::kMostDiffer
                                                    : BinAgreement::kSomeDiffer;
  return comparison;
}

}  // namespace kelditra
