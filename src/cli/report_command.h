#pragma once

#include "cli/language.h"
#include "cli/options.h"

namespace kelditra {

// kelditra report [options] FILE.wav...: runs the search over the sound again
// and writes FILE.report.html, a page that shows how well each frame matched.
extern const CommandSpec kReportCommand;
int RunReportCommand(const ParsedArguments& parsed, Language language);

}  // namespace kelditra
