#include "cli/preview_command.h"

#include <cstdio>
#include <string>
#include <vector>

#include "cli/exit_status.h"
#include "formats/paths.h"
#include "preview/preview_file.h"
#include "resources/messages.h"

namespace {

constexpr const char* kUsage =
    "usage: kelditra preview [options] FILE.wav...\n"
    "\n"
    "Sounds the conversion FILE.bin as FILE.preview.wav (44100 Hz, 16-bit, mono):\n"
    "every frame plays the chosen voice's spectrum at the chosen gain and\n"
    "frequency, as the search compared it. Reads FILE.bin and the voice table only.\n"
    "\n"
    "options:\n"
    "  --table PATH   voice table to use (default: fm_table2.dat in the current folder)\n"
    "  --help         show this text\n"
    "\n"
    "Each file ends with one line, FILE: MESSAGE. The exit status is 0 when every\n"
    "preview was written, 1 when any was not, 2 for a usage error.\n";

}  // namespace

int RunPreviewCommand(int argc, char** argv) {
  std::string voice_table_path = kVoiceTableName;
  std::vector<std::string> files;
  bool options_ended = false;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (options_ended || argument.empty() || argument[0] != '-' || argument == "-") {
      files.push_back(argument);
    } else if (argument == "--") {
      options_ended = true;
    } else if (argument == "--help" || argument == "-h") {
      std::fputs(kUsage, stdout);
      return kExitAllFinished;
    } else if (argument == "--table" && i + 1 < argc) {
      voice_table_path = argv[++i];
    } else {
      std::fprintf(stderr, "kelditra preview: bad option %s\n%s", argument.c_str(), kUsage);
      return kExitUsage;
    }
  }
  if (files.empty()) {
    std::fputs(kUsage, stderr);
    return kExitUsage;
  }

  int status = kExitAllFinished;
  for (const std::string& file : files) {
    const std::string path = TrimTrailingWhiteSpace(file);
    std::string message;
    if (!HasWaveExtension(path)) {
      message = MessageText(MessageId::kNotWaveFile);
    } else {
      const std::string base_path = path.substr(0, path.size() - 4);
      int64_t clipped = 0;
      message = WritePreviewFile(base_path, voice_table_path, &clipped);
      if (message.empty()) {
        std::printf("%s: wrote %s.preview.wav", file.c_str(), base_path.c_str());
        if (clipped > 0) std::printf(" (%lld samples clipped)", static_cast<long long>(clipped));
        std::printf("\n");
        continue;
      }
    }
    std::printf("%s: %s\n", file.c_str(), message.c_str());
    status = kExitSomeFailed;
  }
  return status;
}
