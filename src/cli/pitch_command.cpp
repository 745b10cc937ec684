#include "cli/pitch_command.h"

#include <cstdlib>
#include <string>
#include <vector>

#include "cli/exit_status.h"
#include "pitch/pitch_job.h"

namespace {

constexpr const char* kUsage =
    "usage: kelditra pitch [options] FILE.wav...\n"
    "\n"
    "Finds the fundamental of every 1/60 s frame of each WAV file (44100 Hz,\n"
    "16-bit, mono) and writes it beside the file as the pitch track FILE.dat that\n"
    "the conversion reads. Silent, noisy and unvoiced frames get 0.\n"
    "\n"
    "options:\n"
    "  --min-hz F      lowest fundamental looked for (default %g)\n"
    "  --max-hz F      highest fundamental looked for (default %g)\n"
    "  --threshold X   voicing threshold, 0 to 1 (default %g): the most aperiodicity\n"
    "                  a frame may show and still get a pitch. Lower it when breath\n"
    "                  or noise gets a pitch, raise it when a rough voice loses one.\n"
    "  --method NAME   yin (built in) or yinfft (aubio, where built with it);\n"
    "                  default %s\n"
    "  --force         replace an existing FILE.dat\n"
    "  --help          show this text\n"
    "\n"
    "Each file ends with one line, FILE: MESSAGE. The exit status is 0 when every\n"
    "track was written, 1 when any was not, 2 for a usage error.\n";

void PrintUsage(std::FILE* stream) {
  const PitchSettings defaults;
  std::fprintf(stream, kUsage, defaults.min_hz, defaults.max_hz, defaults.threshold,
               PitchMethodName(PreferredPitchMethod()));
}

struct CommandLine {
  PitchJobSettings settings;
  std::vector<std::string> files;
};

bool ParseNumber(const std::string& text, double* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  *value = std::strtod(text.c_str(), &end);
  return *end == '\0';
}

int UsageError(const std::string& problem) {
  std::fprintf(stderr, "kelditra pitch: %s\n", problem.c_str());
  PrintUsage(stderr);
  return kExitUsage;
}

// Parses argv; returns -1 to go on, otherwise the exit status.
int ParseCommandLine(int argc, char** argv, CommandLine* command_line) {
  bool options_ended = false;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (options_ended || argument.empty() || argument[0] != '-' || argument == "-") {
      command_line->files.push_back(argument);
    } else if (argument == "--") {
      options_ended = true;
    } else if (argument == "--help" || argument == "-h") {
      PrintUsage(stdout);
      return kExitAllFinished;
    } else if (argument == "--force" || argument == "-f") {
      command_line->settings.replace_existing = true;
    } else if (argument == "--min-hz" || argument == "--max-hz" || argument == "--threshold") {
      double value = 0;
      if (i + 1 == argc || !ParseNumber(argv[i + 1], &value)) {
        return UsageError(argument + " needs a number");
      }
      ++i;
      PitchSettings& pitch = command_line->settings.pitch;
      if (argument == "--min-hz") pitch.min_hz = value;
      if (argument == "--max-hz") pitch.max_hz = value;
      if (argument == "--threshold") pitch.threshold = value;
    } else if (argument == "--method") {
      if (i + 1 == argc) return UsageError("--method needs a name");
      const std::string name = argv[++i];
      bool known = false;
      for (const PitchMethod method : {PitchMethod::kYin, PitchMethod::kAubioYinFft}) {
        if (name == PitchMethodName(method) && PitchMethodAvailable(method)) {
          command_line->settings.method = method;
          known = true;
        }
      }
      if (!known) return UsageError("no method " + name + " in this build");
    } else {
      return UsageError("unknown option " + argument);
    }
  }
  const std::string problem = CheckPitchSettings(command_line->settings.pitch);
  if (!problem.empty()) return UsageError(problem);
  if (command_line->files.empty()) return UsageError("no WAV file given");
  return -1;
}

}  // namespace

void PrintPitchCommandSummary(std::FILE* stream) {
  std::fputs(
      "\n"
      "No pitch track yet? kelditra pitch FILE.wav... makes FILE.dat from the\n"
      "recording alone; kelditra pitch --help tells more.\n",
      stream);
}

int RunPitchCommand(int argc, char** argv) {
  CommandLine command_line;
  const int parse_status = ParseCommandLine(argc, argv, &command_line);
  if (parse_status >= 0) return parse_status;

  int status = kExitAllFinished;
  for (const std::string& file : command_line.files) {
    const PitchJobOutcome outcome = RunPitchJob(file, command_line.settings);
    std::printf("%s: %s\n", file.c_str(), outcome.message.c_str());
    std::fflush(stdout);
    if (!outcome.written) status = kExitSomeFailed;
  }
  return status;
}
