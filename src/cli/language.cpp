#include "cli/language.h"

#include <cstdlib>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace kelditra {

Language UserLanguage() {
#ifdef _WIN32
  return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE ? Language::kJapanese
                                                                    : Language::kEnglish;
#else
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value == nullptr || *value == '\0') continue;
    const std::string locale = value;
    return locale.rfind("ja", 0) == 0 ? Language::kJapanese : Language::kEnglish;
  }
  return Language::kEnglish;
#endif
}

std::string Say(Language language, const char* english, const char* japanese,
                std::initializer_list<std::string> arguments) {
  const std::string text = language == Language::kJapanese ? japanese : english;
  const std::vector<std::string> values(arguments);
  std::string said;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '{' && i + 2 < text.size() && text[i + 2] == '}' && text[i + 1] >= '1' &&
        text[i + 1] <= '9') {
      const size_t index = static_cast<size_t>(text[i + 1] - '1');
      if (index < values.size()) said += values[index];
      i += 2;
    } else {
      said += text[i];
    }
  }
  return said;
}

}  // namespace kelditra
