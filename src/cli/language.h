#pragma once

#include <initializer_list>
#include <string>

namespace kelditra {

// The language the command line speaks: Japanese, the Windows program's own,
// for a Japanese user, English for everyone else.
enum class Language { kEnglish, kJapanese };

// The user's language: on Windows the user interface language; elsewhere the
// first of LC_ALL, LC_MESSAGES and LANG that is set, as gettext takes them.
Language UserLanguage();

// The text in the language, with {1}, {2}... replaced by the arguments in
// order. Both texts stand side by side where a message is made, so that one
// is never changed without the other.
std::string Say(Language language, const char* english, const char* japanese,
                std::initializer_list<std::string> arguments = {});

}  // namespace kelditra
