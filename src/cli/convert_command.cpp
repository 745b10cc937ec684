#include "cli/convert_command.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "analysis/simd/simd_level.h"
#include "cli/exit_status.h"
#include "cli/progress_bar.h"
#include "cli/terminal_host.h"
#include "job/conversion_job.h"
#include "job/kept_voice_table.h"
#include "resources/messages.h"

namespace {

constexpr const char* kUsageHead =
    "usage: kelditra [options] FILE.wav...\n"
    "       kelditra --version\n"
    "\n"
    "Converts each WAV file (44100 Hz, 16-bit, mono) and the pitch track beside it\n"
    "(FILE.dat) into FM voice parameters (FILE.bin), one 16-byte record per 1/60 s.\n"
    "\n"
    "options:\n"
    "  --table PATH   voice table to use (default: fm_table2.dat in the current folder)\n";
constexpr const char* kUsageTail =
    "  --quiet        no progress bar\n"
    "  --help         show this text\n"
    "  --version      show the version\n"
    "\n"
    "Each file ends with one line, FILE: MESSAGE. The exit status is 0 when every\n"
    "file was converted, 1 when any was not, 2 for a usage error. Ctrl-C stops the\n"
    "running conversion after its current frame and writes nothing.\n";

void PrintUsage(FILE* out) {
  std::fputs(kUsageHead, out);
  std::fputs(kSearchOptionsUsage, out);
  std::fputs(kUsageTail, out);
}

struct CommandLine {
  JobSettings settings;
  bool quiet = false;
  std::vector<std::string> files;
};

bool ParseThreadCount(const char* text, int* threads) {
  char* end = nullptr;
  const long value = std::strtol(text, &end, 10);
  if (end == text || *end != '\0' || value < 1 || value > 256) return false;
  *threads = static_cast<int>(value);
  return true;
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
    } else if (argument == "--quiet" || argument == "-q") {
      command_line->quiet = true;
    } else if (argument == "--table") {
      if (i + 1 == argc) {
        std::fputs("kelditra: --table needs a path\n", stderr);
        return kExitUsage;
      }
      command_line->settings.voice_table_path = argv[++i];
    } else {
      const SearchOptionRead read = ReadSearchOption(argc, argv, &i, &command_line->settings);
      if (read == SearchOptionRead::kBad) return kExitUsage;
      if (read == SearchOptionRead::kNotOne) {
        std::fprintf(stderr, "kelditra: unknown option %s\n", argument.c_str());
        PrintUsage(stderr);
        return kExitUsage;
      }
    }
  }
  if (command_line->files.empty()) {
    PrintUsage(stderr);
    return kExitUsage;
  }
  return -1;
}

}  // namespace

SearchOptionRead ReadSearchOption(int argc, char** argv, int* i, JobSettings* settings) {
  const std::string argument = argv[*i];
  const char* value = *i + 1 < argc ? argv[*i + 1] : nullptr;
  if (argument == "--reference") {
    settings->search.reference_search = true;
    return SearchOptionRead::kRead;
  }
  if (argument == "--threads") {
    int threads = 0;
    if (value == nullptr || !ParseThreadCount(value, &threads)) {
      std::fputs("kelditra: --threads needs a number from 1 to 256\n", stderr);
      return SearchOptionRead::kBad;
    }
    settings->search.threads = threads;
    ++*i;
    return SearchOptionRead::kRead;
  }
  if (argument == "--simd") {
    SimdLevel level;
    if (value == nullptr || !ParseSimdLevel(value, &level)) {
      std::fputs("kelditra: --simd needs avx512, avx2, sse2 or portable\n", stderr);
      return SearchOptionRead::kBad;
    }
    if (!SimdLevelRuns(level)) {
      std::fprintf(stderr, "kelditra: this processor cannot run %s\n", value);
      return SearchOptionRead::kBad;
    }
    settings->search.simd = value;
    ++*i;
    return SearchOptionRead::kRead;
  }
  return SearchOptionRead::kNotOne;
}

int RunConvertCommand(int argc, char** argv) {
  CommandLine command_line;
  const int parse_status = ParseCommandLine(argc, argv, &command_line);
  if (parse_status >= 0) return parse_status;

  const bool show_progress = !command_line.quiet && StderrIsTerminal();
  TerminalHost host(show_progress);
  InstallInterruptHandler();
  // A batch loads and prepares its voice table once, not once per file.
  KeptVoiceTable kept_table;
  if (command_line.files.size() > 1) command_line.settings.kept_table = &kept_table;

  int status = kExitAllFinished;
  for (const std::string& file : command_line.files) {
    if (host.Interrupted()) {
      status = kExitSomeFailed;
      break;
    }
    host.SetPath(file);
    RunConversionJob(host, command_line.settings);
    if (host.LastMessage() != MessageText(MessageId::kFinished)) status = kExitSomeFailed;
  }
  return status;
}
