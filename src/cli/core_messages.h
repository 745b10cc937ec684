#pragma once

#include <optional>
#include <string>

#include "cli/language.h"
#include "resources/messages.h"

// A message from the core (the job, the loaders, the writers), which speaks
// the platform's encoding and the Windows program's Japanese, taken apart so
// the command line can say it in the user's language and explain it.
struct CoreMessage {
  std::optional<MessageId> id;  // none for a text of the tools' own
  std::string missing_path;     // the path of a "file not found", as the core has it
};

CoreMessage IdentifyMessage(const std::string& platform_text);

// The message in the user's language, UTF-8.
std::string LocalizedMessage(const std::string& platform_text, Language language);
std::string LocalizedMessage(MessageId id, Language language);
