#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

#ifdef _WIN32
#include "io/wide_text_win32.h"
#endif

#include "cli/convert_command.h"
#include "cli/exit_status.h"
#include "cli/language.h"
#include "cli/options.h"
#include "cli/pitch_command.h"
#include "cli/prepare_command.h"
#include "cli/preview_command.h"
#include "cli/report_command.h"
#include "cli/table_command.h"

namespace kelditra {

namespace {

struct Command {
  const CommandSpec* definition;
  int (*run)(const ParsedArguments& parsed, Language language);
};

const Command kCommands[] = {
    {&kConvertCommand, RunConvertCommand},
    {&kPrepareCommand, RunPrepareCommand},
    {&kPitchCommand, RunPitchCommand},
    {&kPreviewCommand, RunPreviewCommand},
    {&kReportCommand, RunReportCommand},
    {&kTableCommand, RunTableCommand},
};

const Command* FindCommand(const std::string& name) {
  for (const Command& command : kCommands) {
    if (name == command.definition->name) return &command;
  }
  return nullptr;
}

void PrintMainHelp(std::FILE* stream) {
  std::fputs(
      "usage: kelditra [COMMAND] [options] FILE.wav...\n"
      "       kelditra help [COMMAND]\n"
      "       kelditra --version\n"
      "\n"
      "Turns a WAV recording and its pitch track into FM voice parameters.\n"
      "\n"
      "commands:\n",
      stream);
  for (const Command& command : kCommands) {
    std::fprintf(stream, "  %-9s %s\n", command.definition->name, command.definition->summary);
  }
  std::fputs("  help      show the help of the program or of one command\n\n", stream);
  PrintCommandHelp(kConvertCommand, stream);
}

// kelditra help [COMMAND]
int RunHelp(int argc, char** argv) {
  if (argc < 3) {
    PrintMainHelp(stdout);
    return kExitAllFinished;
  }
  const Command* command = FindCommand(argv[2]);
  if (command == nullptr || argc > 3) {
    std::fprintf(stderr, "kelditra help: no command %s\nTry 'kelditra help' for the list.\n",
                 argv[2]);
    return kExitUsage;
  }
  PrintCommandHelp(*command->definition, stdout);
  return kExitAllFinished;
}

int RunKelditra(int argc, char** argv) {
  const Language language = UserLanguage();
  // The system's own reasons (strerror) in Japanese too, where the system has
  // them; numbers and everything else stay in the C locale.
  if (language == Language::kJapanese) {
    std::setlocale(LC_CTYPE, "");
#ifdef LC_MESSAGES
    std::setlocale(LC_MESSAGES, "");
#endif
  }

  const std::string first = argc >= 2 ? argv[1] : "";
  if (first == "--version" && argc == 2) {
    std::puts("kelditra " KELDITRA_VERSION);
    return kExitAllFinished;
  }
  if (first == "help") return RunHelp(argc, argv);
  if (first == "--help" || first == "-h") {
    PrintMainHelp(stdout);
    return kExitAllFinished;
  }
  // A command's name first, or files straight away for a conversion.
  const Command* command = FindCommand(first);
  if (command != nullptr) {
    --argc;
    ++argv;
  } else {
    command = &kCommands[0];
  }
  ParsedArguments parsed;
  const std::string problem = ParseArguments(*command->definition, argc, argv, &parsed);
  if (parsed.help) {
    PrintCommandHelp(*command->definition, stdout);
    return kExitAllFinished;
  }
  if (!problem.empty()) return UsageError(*command->definition, problem);
  return command->run(parsed, language);
}

}  // namespace

}  // namespace kelditra

using namespace kelditra;

#ifdef _WIN32
// The arguments as typed, in UTF-16: main's would come through the user's
// code page, which turns "řeč.wav" into "rec.wav", another file.
int wmain(int argc, wchar_t** wide_argv) {
  std::vector<std::string> arguments;
  for (int i = 0; i < argc; ++i) arguments.push_back(NarrowToUtf8(wide_argv[i]));
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  return RunKelditra(argc, argv.data());
}
#else
int main(int argc, char** argv) { return RunKelditra(argc, argv); }
#endif
