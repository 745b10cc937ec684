#include "cli/pitch_command.h"

#include <cstdlib>
#include <string>

#include "cli/batch.h"
#include "cli/common_options.h"
#include "cli/console.h"
#include "cli/core_messages.h"
#include "cli/diagnosis.h"
#include "formats/paths.h"
#include "formats/sound_timing.h"
#include "pitch/pitch_job.h"

namespace kelditra {

const CommandSpec kPitchCommand = {
    "pitch",
    "[options] FILE.wav...",
    "make the pitch track FILE.dat from the recording alone",
    "Finds the fundamental of every 1/60 s frame of each WAV file (44100 Hz,\n"
    "16-bit, mono) and writes it beside the file as the pitch track FILE.dat that\n"
    "the conversion reads. Silent, noisy and unvoiced frames get 0. Candidates from\n"
    "the autocorrelation of every 10 ms are joined by the one path through the\n"
    "recording that earns most: jumps between octaves and between voiced and\n"
    "unvoiced cost extra. An existing FILE.dat is kept (and said so) unless\n"
    "--force is given.",
    {
        {"--min-hz", nullptr, "F", "a number",
         "lowest fundamental looked for (default 75); the\n"
         "analysis window is three of its periods long"},
        {"--max-hz", nullptr, "F", "a number", "highest fundamental looked for (default 600)"},
        {"--threshold", nullptr, "X", "a number",
         "voicing threshold, 0 to 1 (default 0.55): how\n"
         "aperiodic a frame may be (one less its\n"
         "autocorrelation at the period) and still get a\n"
         "pitch. Lower it when breath or noise gets a pitch,\n"
         "raise it when a rough voice loses one."},
        {"--force", "-f", nullptr, nullptr, "replace an existing FILE.dat"},
        kOutputFolderOption,
        kQuietOption,
        kJsonOption,
    },
    kOutcomeHelp,
};

namespace {

bool ParseNumber(const std::string& text, double* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  *value = std::strtod(text.c_str(), &end);
  return *end == '\0';
}

std::string ReadPitchOptions(const ParsedArguments& parsed, PitchJobSettings* settings) {
  settings->replace_existing = parsed.Has("--force");
  for (const auto& [name, field] : {std::pair{"--min-hz", &settings->pitch.min_hz},
                                    std::pair{"--max-hz", &settings->pitch.max_hz},
                                    std::pair{"--threshold", &settings->pitch.threshold}}) {
    if (parsed.Has(name) && !ParseNumber(parsed.Value(name), field)) {
      return NeedsValueProblem(*FindOption(kPitchCommand, name));
    }
  }
  return CheckPitchSettings(settings->pitch);
}

}  // namespace

int RunPitchCommand(const ParsedArguments& parsed, Language language) {
  PitchJobSettings settings;
  BatchOptions batch;
  std::string problem = ReadOutputOptions(parsed, language, &settings.output_folder, &batch);
  if (problem.empty()) problem = ReadPitchOptions(parsed, &settings);
  if (!problem.empty()) return UsageError(kPitchCommand, problem);

  return RunBatch(parsed.files, batch, [&](const std::string& file) {
    const PitchJobOutcome made = RunPitchJob(file, settings);
    const std::string wave = TrimTrailingWhiteSpace(file);
    const std::string& track = made.track_path;
    FileOutcome outcome;
    if (made.kept_existing) {
      outcome.kind = OutcomeKind::kKept;
      outcome.message = Say(language, "kept the existing {1}; --force replaces it",
                            "既存の {1} をそのまま残しました。--force で置き換えます", {track});
    } else if (made.written) {
      outcome.frames = made.frames;
      outcome.voiced_frames = made.voiced_frames;
      outcome.sound_seconds = static_cast<double>(made.frames) / kFramesPerSecond;
      outcome.message = Say(language, "wrote {1}: {2} frames, {3} voiced",
                            "{1} を書き込みました：{2} フレーム、有声 {3}",
                            {track, std::to_string(made.frames), std::to_string(made.voiced_frames)});
    } else {
      outcome = FailedOutcome(OutcomeText(made.failure, language));
      outcome.detail = DetailLine(made.failure, wave, language);
    }
    return outcome;
  });
}

}  // namespace kelditra
