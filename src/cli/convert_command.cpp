#include "cli/convert_command.h"

#include "cli/batch.h"
#include "cli/common_options.h"
#include "cli/console.h"
#include "cli/core_messages.h"
#include "cli/diagnosis.h"
#include "cli/terminal_host.h"
#include "job/conversion_job.h"
#include "job/kept_voice_table.h"

namespace kelditra {

const CommandSpec kConvertCommand = {
    "convert",
    "[options] FILE.wav...",
    "FILE.wav and its pitch track FILE.dat into FILE.bin (the default)",
    "Converts each WAV file (44100 Hz, 16-bit, mono) and the pitch track beside it\n"
    "(FILE.dat) into FM voice parameters (FILE.bin), one 16-byte record per 1/60 s.\n"
    "A recording in another form (another rate, stereo, FLAC, OGG, MP3...)?\n"
    "kelditra prepare FILE makes the WAV file and its track. No pitch track yet?\n"
    "kelditra pitch FILE.wav makes one. Ctrl-C stops the running conversion\n"
    "after its current frame and writes nothing.",
    {kTableOption, kOutputFolderOption, kReferenceOption, kThreadsOption, kSimdOption,
     kQuietOption, kJsonOption},
    kOutcomeHelp,
};

int RunConvertCommand(const ParsedArguments& parsed, Language language) {
  JobSettings settings;
  BatchOptions batch;
  const std::string problem = ReadJobOptions(kConvertCommand, parsed, language, &settings, &batch);
  if (!problem.empty()) return UsageError(kConvertCommand, problem);

  TerminalHost host(!parsed.Has(kQuietOption.name) && StderrIsTerminal(), language);
  // A batch loads and prepares its voice table once, not once per file.
  KeptVoiceTable kept_table;
  if (parsed.files.size() > 1) settings.kept_table = &kept_table;

  return RunBatch(parsed.files, batch, [&](const std::string& file) {
    host.SetPath(file);
    const JobResult result = RunConversionJob(host, settings);
    const std::string wave = TrimTrailingWhiteSpace(file);
    FileOutcome outcome;
    outcome.message = OutcomeText(result.failure, language);
    if (!result.failure) {
      TakeCounts(result.counts,
                 {wave, FindMadeFile(wave, settings.output_folder, ".dat"),
                  MadeFilePath(wave, settings.output_folder, ".bin")},
                 language, &outcome);
    } else {
      outcome.kind = result.failure.kind == FailureKind::kCancelled ? OutcomeKind::kCancelled
                                                                     : OutcomeKind::kFailed;
      outcome.detail = DetailLine(result.failure, wave, language);
    }
    return outcome;
  });
}

}  // namespace kelditra
