#pragma once

#include <optional>
#include <string>

#include "io/failure.h"
#include "resources/messages.h"

namespace kelditra {

// Message box styles, the platform's values.
inline constexpr int kStylePlain = 0;
inline constexpr int kStyleExclamation = 48;

// The stored message that tells an outcome of this kind (kFinished for
// kNone); none for the kinds the Windows program never shows.
std::optional<MessageId> OutcomeMessageId(FailureKind kind);

struct OutcomeMessage {
  std::string text;  // UTF-8, as every text inside the program
  int style;
};

// The Windows program's message box for a job's outcome: a missing file is
// named before the message, as the loader has always said it.
OutcomeMessage DialogMessage(const Failure& outcome);

}  // namespace kelditra
