#include "cli/report_command.h"

#include <string>

#include "cli/batch.h"
#include "cli/common_options.h"
#include "cli/console.h"
#include "cli/core_messages.h"
#include "cli/diagnosis.h"
#include "cli/progress_bar.h"
#include "job/conversion_job.h"
#include "report/report_file.h"

namespace kelditra {

const CommandSpec kReportCommand = {
    "report",
    "[options] FILE.wav...",
    "FILE.report.html: a page of how well each frame matched",
    "Searches every frame of FILE.wav again, as the conversion does, and writes\n"
    "FILE.report.html: the fundamental, the gain and the matching error over time,\n"
    "the chosen voice over time, each frame's spectrum beside the chosen voice\n"
    "(click a frame), and a summary. One self-contained file; any browser opens it.\n"
    "When FILE.bin exists it is compared with the search's choices.",
    {kTableOption, kOutputFolderOption, kReferenceOption, kThreadsOption, kSimdOption,
     kQuietOption, kJsonOption},
    kOutcomeHelp,
};

int RunReportCommand(const ParsedArguments& parsed, Language language) {
  JobSettings settings;
  BatchOptions batch;
  const std::string problem = ReadJobOptions(kReportCommand, parsed, language, &settings, &batch);
  if (!problem.empty()) return UsageError(kReportCommand, problem);

  ProgressBar bar(!parsed.Has(kQuietOption.name) && StderrIsTerminal());
  return RunBatch(parsed.files, batch, [&](const std::string& file) {
    ReportRequest request;
    request.wave_path = TrimTrailingWhiteSpace(file);
    request.voice_table_path = settings.voice_table_path;
    request.search = settings.search;
    request.output_folder = settings.output_folder;
    const double start = SecondsSinceStart();
    request.progress = [&](int32_t done, int32_t total) {
      bar.Draw(file, done, total, SecondsSinceStart() - start, "frames");
    };
    const JobFiles files = {request.wave_path,
                            FindMadeFile(request.wave_path, settings.output_folder, ".dat"),
                            MadeFilePath(request.wave_path, settings.output_folder, ".report.html")};
    ReportOutcome made;
    made.failure = FileFailure(FailureKind::kNotWaveFile, request.wave_path);
    if (HasWaveExtension(request.wave_path)) {
      made = WriteReportFile(request);
      bar.Clear();
    }
    FileOutcome outcome;
    if (made.failure) {
      outcome = FailedOutcome(OutcomeText(made.failure, language));
      outcome.detail = DetailLine(made.failure, request.wave_path, language);
      return outcome;
    }
    TakeCounts(made.counts, files, language, &outcome);
    outcome.message = Say(language, "wrote {1} ({2} frames", "{1} を書き込みました（{2} フレーム",
                          {made.report_path, std::to_string(made.frames)});
    if (made.disagreeing_records > 0) {
      outcome.message += Say(language, "; {1} records of the .bin differ from this search",
                             "、.bin の {1} レコードがこの探索と異なります",
                             {std::to_string(made.disagreeing_records)});
    }
    outcome.message += Say(language, ")", "）");
    return outcome;
  });
}

}  // namespace kelditra
