#include "cli/report_command.h"

#include <cstdio>
#include <string>
#include <vector>

#include "cli/convert_command.h"
#include "cli/exit_status.h"
#include "cli/progress_bar.h"
#include "job/conversion_job.h"
#include "report/report_file.h"
#include "resources/messages.h"

namespace {

constexpr const char* kUsageHead =
    "usage: kelditra report [options] FILE.wav...\n"
    "\n"
    "Searches every frame of FILE.wav again, as the conversion does, and writes\n"
    "FILE.report.html: the original and a preview of the search's choices to play,\n"
    "their spectrograms, the fundamental, gain, match and chosen voice over time,\n"
    "each frame's spectrum beside the chosen voice (click a frame), and a summary\n"
    "in plain words. One self-contained file; any browser opens it, offline.\n"
    "When FILE.bin exists the page shows how it differs from the search's choices.\n"
    "\n"
    "options:\n"
    "  --table PATH   voice table to use (default: fm_table2.dat in the current folder)\n";
constexpr const char* kUsageTail =
    "  --quiet        no progress bar\n"
    "  --help         show this text\n"
    "\n"
    "Each file ends with one line, FILE: MESSAGE. The exit status is 0 when every\n"
    "report was written, 1 when any was not, 2 for a usage error.\n";

void PrintUsage(FILE* out) {
  std::fputs(kUsageHead, out);
  std::fputs(kSearchOptionsUsage, out);
  std::fputs(kUsageTail, out);
}

}  // namespace

int RunReportCommand(int argc, char** argv) {
  JobSettings search;  // the search options only
  bool quiet = false;
  std::vector<std::string> files;
  bool options_ended = false;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (options_ended || argument.empty() || argument[0] != '-' || argument == "-") {
      files.push_back(argument);
    } else if (argument == "--") {
      options_ended = true;
    } else if (argument == "--help" || argument == "-h") {
      PrintUsage(stdout);
      return kExitAllFinished;
    } else if (argument == "--quiet" || argument == "-q") {
      quiet = true;
    } else if (argument == "--table" && i + 1 < argc) {
      search.voice_table_path = argv[++i];
    } else {
      const SearchOptionRead read = ReadSearchOption(argc, argv, &i, &search);
      if (read == SearchOptionRead::kBad) return kExitUsage;
      if (read == SearchOptionRead::kNotOne) {
        std::fprintf(stderr, "kelditra report: bad option %s\n", argument.c_str());
        PrintUsage(stderr);
        return kExitUsage;
      }
    }
  }
  if (files.empty()) {
    PrintUsage(stderr);
    return kExitUsage;
  }

  ProgressBar bar(!quiet && StderrIsTerminal());
  int status = kExitAllFinished;
  for (const std::string& file : files) {
    ReportRequest request;
    request.wave_path = TrimTrailingWhiteSpace(file);
    request.voice_table_path = search.voice_table_path;
    request.search = search.search;
    const double start = SecondsSinceStart();
    request.progress = [&](int32_t done, int32_t total) {
      bar.Draw(file, done, total, SecondsSinceStart() - start, "frames");
    };
    if (!HasWaveExtension(request.wave_path)) {
      std::printf("%s: %s\n", file.c_str(), MessageText(MessageId::kNotWaveFile).c_str());
      status = kExitSomeFailed;
      continue;
    }
    const ReportOutcome outcome = WriteReportFile(request);
    bar.Clear();
    if (!outcome.message.empty()) {
      std::printf("%s: %s\n", file.c_str(), outcome.message.c_str());
      status = kExitSomeFailed;
      continue;
    }
    std::printf("%s: wrote %s (%d frames", file.c_str(), outcome.report_path.c_str(),
                outcome.frames);
    if (outcome.disagreeing_records > 0) {
      std::printf("; %d records of the .bin differ from this search", outcome.disagreeing_records);
    }
    std::printf(")\n");
  }
  return status;
}
