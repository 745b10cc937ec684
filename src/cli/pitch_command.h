#pragma once

#include "cli/language.h"
#include "cli/options.h"

namespace kelditra {

// kelditra pitch [options] FILE.wav...: writes the pitch track FILE.dat that
// the conversion reads, for users who have only the recording.
extern const CommandSpec kPitchCommand;
int RunPitchCommand(const ParsedArguments& parsed, Language language);

}  // namespace kelditra
