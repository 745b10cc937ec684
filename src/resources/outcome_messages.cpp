#include "resources/outcome_messages.h"

namespace kelditra {

std::optional<MessageId> OutcomeMessageId(FailureKind kind) {
  switch (kind) {
    case FailureKind::kNone:
      return MessageId::kFinished;
    case FailureKind::kNoPerformanceCounter:
      return MessageId::kNoPerformanceCounter;
    case FailureKind::kNotWaveFile:
      return MessageId::kNotWaveFile;
    case FailureKind::kNotFound:
      return MessageId::kFileNotFoundSuffix;
    case FailureKind::kCannotOpen:
      return MessageId::kCannotOpen;
    case FailureKind::kNoMemory:
      return MessageId::kNoMemory;
    case FailureKind::kReadError:
      return MessageId::kReadError;
    case FailureKind::kUnsupportedWave:
      return MessageId::kUnsupportedWave;
    case FailureKind::kBadDataLength:
      return MessageId::kBadDataLength;
    case FailureKind::kNot44100Hz:
      return MessageId::kNot44100Hz;
    case FailureKind::kNotMono16Bit:
      return MessageId::kNotMono16Bit;
    case FailureKind::kBadVoiceTableSize:
      return MessageId::kBadVoiceTableSize;
    case FailureKind::kWaveTooLong:
      return MessageId::kWaveTooLong;
    case FailureKind::kWriteFailed:
      return MessageId::kWriteFailed;
    case FailureKind::kCancelled:
      return MessageId::kCancelled;
    case FailureKind::kBusy:
    case FailureKind::kBadParameterFile:
      break;
  }
  return std::nullopt;
}

OutcomeMessage DialogMessage(const Failure& outcome) {
  const std::optional<MessageId> id = OutcomeMessageId(outcome.kind);
  if (!id) return {};
  const bool warning = outcome.kind == FailureKind::kNoPerformanceCounter ||
                       outcome.kind == FailureKind::kNotWaveFile;
  const std::string& text = MessageText(*id);
  return {outcome.kind == FailureKind::kNotFound ? outcome.path + text : text,
          warning ? kStyleExclamation : kStylePlain};
}

}  // namespace kelditra
