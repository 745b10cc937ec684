#pragma once

#include "cli/language.h"
#include "cli/options.h"

namespace kelditra {

// kelditra preview [options] FILE.wav...: sounds FILE.bin as FILE.preview.wav
// from the voice table, so a conversion can be heard without the target
// hardware.
extern const CommandSpec kPreviewCommand;
int RunPreviewCommand(const ParsedArguments& parsed, Language language);

}  // namespace kelditra
