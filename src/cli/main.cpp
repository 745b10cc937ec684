#include <cstdio>
#include <cstring>

#include "cli/convert_command.h"
#include "cli/exit_status.h"

namespace {

constexpr const char* kVersion = "kelditra 1.0.0";

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::puts(kVersion);
    return kExitAllFinished;
  }
  return RunConvertCommand(argc, argv);
}
