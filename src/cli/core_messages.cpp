#include "cli/core_messages.h"

#include "cli/console.h"
#include "formats/parameter_file.h"
#include "resources/outcome_messages.h"

namespace kelditra {

namespace {

// What makes a parameter file unfit to be sounded, as the preview found it.
std::string RecordFaultText(const Failure& failure) {
  const RecordFault& fault = failure.record;
  if (fault.record < 0) {
    const int64_t length = failure.file_length;
    if (length % kRecordBytes != 0) {
      return std::to_string(length) + " bytes, not a whole number of " +
             std::to_string(kRecordBytes) + "-byte records";
    }
    return std::to_string(length / kRecordBytes) + " records, more than the " +
           std::to_string(kRecordCapacity) + " of the longest conversion";
  }
  return "record " + std::to_string(fault.record) + " (byte " +
         std::to_string(fault.record * kRecordBytes) +
         "): " + fault.field + " " + std::to_string(fault.value) + " is not within 0.." +
         std::to_string(fault.highest);
}

}  // namespace

std::string LocalizedMessage(MessageId id, Language language) {
  return language == Language::kJapanese ? ShiftJisToUtf8(ShiftJisText(id)) : EnglishText(id);
}

std::string OutcomeText(const Failure& outcome, Language language) {
  if (outcome.kind == FailureKind::kBadParameterFile) {
    return outcome.path + ": " + RecordFaultText(outcome);
  }
  const std::optional<MessageId> id = OutcomeMessageId(outcome.kind);
  if (!id) return {};
  if (outcome.kind == FailureKind::kNotFound) {
    return outcome.path + LocalizedMessage(*id, language);
  }
  return LocalizedMessage(*id, language);
}

}  // namespace kelditra
