#pragma once

#include "cli/language.h"
#include "cli/options.h"

namespace kelditra {

// kelditra [convert] [options] FILE.wav...: one conversion job per file, as
// the dialog's convert button runs it.
extern const CommandSpec kConvertCommand;
int RunConvertCommand(const ParsedArguments& parsed, Language language);

}  // namespace kelditra
