#pragma once

#include "cli/language.h"
#include "cli/options.h"

namespace kelditra {

// kelditra prepare FILE...: any recording to the 44100 Hz 16-bit mono WAV
// file the conversion reads, with its pitch track.
extern const CommandSpec kPrepareCommand;
int RunPrepareCommand(const ParsedArguments& parsed, Language language);

}  // namespace kelditra
