#pragma once

#include <string>

#include "cli/language.h"
#include "io/failure.h"
#include "resources/messages.h"

namespace kelditra {

// The message in the user's language, UTF-8.
std::string LocalizedMessage(MessageId id, Language language);

// The message of a file's outcome line (kind kNone: finished): the Windows
// program's message in the user's language, a missing file named before it
// as the dialog names it.
std::string OutcomeText(const Failure& outcome, Language language);

}  // namespace kelditra
