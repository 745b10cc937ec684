#include "cli/core_messages.h"

#include "cli/console.h"
#include "preview/preview_file.h"

namespace {

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

CoreMessage IdentifyMessage(const std::string& platform_text) {
  const std::string& not_found = MessageText(MessageId::kFileNotFoundSuffix);
  if (EndsWith(platform_text, not_found)) {
    return {MessageId::kFileNotFoundSuffix,
            platform_text.substr(0, platform_text.size() - not_found.size())};
  }
  for (int i = 0; i < kMessageCount; ++i) {
    const auto id = static_cast<MessageId>(i);
    if (platform_text == MessageText(id)) return {id, {}};
  }
  return {};
}

std::string LocalizedMessage(MessageId id, Language language) {
  return language == Language::kJapanese ? ShiftJisToUtf8(ShiftJisText(id)) : EnglishText(id);
}

std::string LocalizedMessage(const std::string& platform_text, Language language) {
  const CoreMessage message = IdentifyMessage(platform_text);
  if (message.id == MessageId::kFileNotFoundSuffix) {
    return message.missing_path + LocalizedMessage(*message.id, language);
  }
  if (message.id) return LocalizedMessage(*message.id, language);
  return platform_text;
}
