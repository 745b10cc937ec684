#include "cli/table_command.h"

#include <string>

#include "cli/batch.h"
#include "cli/common_options.h"
#include "cli/console.h"
#include "cli/core_messages.h"
#include "cli/diagnosis.h"
#include "formats/paths.h"
#include "formats/voice_table.h"
#include "io/platform_file.h"
#include "io/whole_file.h"
#include "table/synthetic_table.h"

namespace kelditra {

const CommandSpec kTableCommand = {
    "table",
    "[options] [FILE]",
    "write a synthetic 2-operator FM voice table (fm_table2.dat)",
    "Writes a voice table to FILE (default: fm_table2.dat in this folder): the\n"
    "magnitude spectra of 262,144 voices of a synthetic two-operator FM model, a\n"
    "carrier and a modulator that feeds back on itself (carrier and modulator\n"
    "multiples, modulation depth, feedback). A conversion chooses voices from\n"
    "the table, so the .bin suits a player that sounds these same voices; for\n"
    "another FM voice set, use a table made from that set. About a second; an\n"
    "existing FILE is kept (and said so) unless --force is given.",
    {
        {"--force", "-f", nullptr, nullptr, "replace an existing FILE"},
        kJsonOption,
    },
    "The line FILE: MESSAGE says what was done, in Japanese under a Japanese\n"
    "locale and in English otherwise. The exit status is 0 when the table was\n"
    "written or kept, 1 when writing failed, 2 for a usage error.",
    false,
};

int RunTableCommand(const ParsedArguments& parsed, Language language) {
  if (parsed.files.size() > 1) return UsageError(kTableCommand, "give one FILE at most");
  BatchOptions batch;
  batch.language = language;
  batch.json = parsed.Has(kJsonOption.name);
  const std::vector<std::string> files =
      parsed.files.empty() ? std::vector<std::string>{kVoiceTableName} : parsed.files;

  return RunBatch(files, batch, [&](const std::string& path) {
    FileOutcome outcome;
    FileIdentity existing;
    if (!parsed.Has("--force") && IdentityOf(path.c_str(), &existing)) {
      outcome.kind = OutcomeKind::kKept;
      outcome.message = Say(language, "kept the existing {1}; --force replaces it",
                            "既存の {1} をそのまま残しました。--force で置き換えます", {path});
      return outcome;
    }
    const std::vector<uint8_t> table = SyntheticVoiceTable();
    if (const Failure failure = SaveFile(table.data(), static_cast<uint32_t>(table.size()), path)) {
      outcome = FailedOutcome(OutcomeText(failure, language));
      outcome.detail = DetailLine(failure, path, language);
      return outcome;
    }
    outcome.message = Say(language, "wrote the synthetic 2-operator FM voice table ({1} voices)",
                          "2 オペレータ FM の合成音色テーブルを書き込みました（{1} 音色）",
                          {std::to_string(kVoiceCount)});
    return outcome;
  });
}

}  // namespace kelditra
