#pragma once

#include <string>

namespace kelditra {

// Windows keeps names in UTF-16; inside the program every path and every text
// is UTF-8. The narrow ("ANSI") calls would pass a name through the user's
// code page, where a character it lacks becomes a look-alike or '?', and so
// name another file: every name reaches the system through these two.

// false when utf8 is not well-formed UTF-8: such a name cannot be any file's.
bool WidenUtf8(const std::string& utf8, std::wstring* wide);

// A lone surrogate, which no well-formed name holds, becomes U+FFFD.
std::string NarrowToUtf8(const std::wstring& wide);

}  // namespace kelditra
