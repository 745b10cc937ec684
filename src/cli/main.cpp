#include <cstdio>
#include <cstring>

#include "cli/convert_command.h"
#include "cli/exit_status.h"
#include "cli/pitch_command.h"
#include "cli/preview_command.h"
#include "cli/report_command.h"

namespace {

constexpr const char* kVersion = "kelditra 1.0.0";

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::puts(kVersion);
    return kExitAllFinished;
  }
  if (argc >= 2 && std::strcmp(argv[1], "pitch") == 0) return RunPitchCommand(argc - 1, argv + 1);
  if (argc >= 2 && std::strcmp(argv[1], "preview") == 0) {
    return RunPreviewCommand(argc - 1, argv + 1);
  }
  if (argc >= 2 && std::strcmp(argv[1], "report") == 0) return RunReportCommand(argc - 1, argv + 1);
  const int status = RunConvertCommand(argc, argv);
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    PrintPitchCommandSummary(stdout);
  }
  return status;
}
