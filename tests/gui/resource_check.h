#pragma once

#include <string>
#include <vector>

// Reads the dialog templates and the icon out of the built executable and
// compares them field by field with what the program must carry; one line per
// difference, none when all match. The icon's images must be byte for byte
// those of icon_file, a fresh output of tools/make_icon.cpp.
std::vector<std::string> CheckResources(const std::string& exe, const std::string& icon_file);
