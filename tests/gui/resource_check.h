#pragma once

#include <string>
#include <vector>

namespace kelditra {

// The differences between the built executable's dialog templates and what
// the program must carry, and between its icon and icon_file (a fresh output
// of tools/make_icon.cpp); one line each, none when all match.
std::vector<std::string> CheckResources(const std::string& exe, const std::string& icon_file);

}  // namespace kelditra
