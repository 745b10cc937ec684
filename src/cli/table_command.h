#pragma once

#include "cli/language.h"
#include "cli/options.h"

namespace kelditra {

// kelditra table [options] [FILE]: writes the synthetic voice table, so that
// a user who has only the program can convert, preview and report.
extern const CommandSpec kTableCommand;
int RunTableCommand(const ParsedArguments& parsed, Language language);

}  // namespace kelditra
