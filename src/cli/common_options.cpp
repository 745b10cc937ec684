#include "cli/common_options.h"

#include <cstdlib>

#include "analysis/simd/simd_level.h"
#include "io/file_problem.h"
#include "job/conversion_job.h"
#include "job/search_settings.h"

namespace kelditra {

std::string ReadOutputOptions(const ParsedArguments& parsed, Language language,
                              std::string* output_folder, BatchOptions* batch) {
  *output_folder = parsed.Value(kOutputFolderOption.name);
  if (!output_folder->empty() && !IsFolder(*output_folder)) {
    return std::string(kOutputFolderOption.name) + " needs a folder that exists: " + *output_folder;
  }
  batch->language = language;
  batch->json = parsed.Has(kJsonOption.name);
  return {};
}

std::string ReadSearchOptions(const CommandSpec& command, const ParsedArguments& parsed,
                              SearchSettings* settings) {
  settings->reference_search = parsed.Has(kReferenceOption.name);
  if (parsed.Has(kThreadsOption.name)) {
    const std::string text = parsed.Value(kThreadsOption.name);
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (end == text.c_str() || *end != '\0' || value < 1 || value > 256) {
      return NeedsValueProblem(*FindOption(command, kThreadsOption.name));
    }
    settings->threads = static_cast<int32_t>(value);
  }
  if (parsed.Has(kSimdOption.name)) {
    const std::string name = parsed.Value(kSimdOption.name);
    SimdLevel level;
    if (!ParseSimdLevel(name.c_str(), &level)) {
      return NeedsValueProblem(*FindOption(command, kSimdOption.name));
    }
    if (!SimdLevelRuns(level)) return "this processor cannot run " + name;
    settings->simd = name;
  }
  return {};
}

std::string ReadJobOptions(const CommandSpec& command, const ParsedArguments& parsed,
                           Language language, JobSettings* settings, BatchOptions* batch) {
  settings->voice_table_path = parsed.Value(kTableOption.name, settings->voice_table_path);
  std::string problem = ReadOutputOptions(parsed, language, &settings->output_folder, batch);
  if (problem.empty()) problem = ReadSearchOptions(command, parsed, &settings->search);
  return problem;
}

}  // namespace kelditra
