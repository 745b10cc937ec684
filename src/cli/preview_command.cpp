#include "cli/preview_command.h"

#include <string>

#include "cli/batch.h"
#include "cli/common_options.h"
#include "cli/console.h"
#include "cli/core_messages.h"
#include "cli/diagnosis.h"
#include "formats/paths.h"
#include "formats/sound_timing.h"
#include "preview/preview_file.h"

namespace kelditra {

const CommandSpec kPreviewCommand = {
    "preview",
    "[options] FILE.wav...",
    "sound the conversion FILE.bin as FILE.preview.wav",
    "Sounds the conversion FILE.bin as FILE.preview.wav (44100 Hz, 16-bit, mono):\n"
    "every frame plays the chosen voice's spectrum at the chosen gain and\n"
    "frequency, as the search compared it. Reads FILE.bin and the voice table only.\n"
    "A later kelditra *.wav skips the previews.",
    {kTableOption, kOutputFolderOption, kJsonOption},
    kOutcomeHelp,
};

int RunPreviewCommand(const ParsedArguments& parsed, Language language) {
  const std::string table = parsed.Value(kTableOption.name, kVoiceTableName);
  std::string output_folder;
  BatchOptions batch;
  const std::string problem = ReadOutputOptions(parsed, language, &output_folder, &batch);
  if (!problem.empty()) return UsageError(kPreviewCommand, problem);

  return RunBatch(parsed.files, batch, [&](const std::string& file) {
    const std::string wave = TrimTrailingWhiteSpace(file);
    Failure failure = FileFailure(FailureKind::kNotWaveFile, wave);
    int64_t clipped = 0;
    int32_t frames = 0;
    const std::string preview = MadeFilePath(wave, output_folder, kPreviewSuffix);
    if (HasWaveExtension(wave)) {
      failure = WritePreviewFile(FindMadeFile(wave, output_folder, ".bin"), preview, table,
                                 &clipped, &frames);
    }
    if (failure) {
      FileOutcome outcome = FailedOutcome(OutcomeText(failure, language));
      outcome.detail = DetailLine(failure, wave, language);
      return outcome;
    }
    FileOutcome outcome;
    outcome.frames = frames;
    outcome.sound_seconds = static_cast<double>(frames) / kFramesPerSecond;
    outcome.message = Say(language, "wrote {1}", "{1} を書き込みました", {preview});
    if (clipped > 0) {
      outcome.message += Say(language, " ({1} samples clipped)", "（{1} サンプルをクリップ）",
                             {std::to_string(clipped)});
    }
    return outcome;
  });
}

}  // namespace kelditra
