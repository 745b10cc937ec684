#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "cli/language.h"

namespace kelditra {

enum class OutcomeKind {
  kDone,        // made what was asked
  kKept,        // an existing output left as it is, as asked
  kSkipped,     // a preview kelditra made, not an input
  kFailed,
  kCancelled,   // stopped by Ctrl-C
  kNotStarted,  // not reached after Ctrl-C
};

// How one file went, for its line, its JSON object and the exit status.
struct FileOutcome {
  OutcomeKind kind = OutcomeKind::kDone;
  std::string message;  // in the user's language, UTF-8
  std::string detail;   // what went wrong and what to do; one line on stderr
  std::vector<std::string> warnings;
  int64_t frames = -1;  // -1: not known
  int64_t voiced_frames = -1;
  double sound_seconds = -1;
  double seconds_taken = 0;
};

struct BatchOptions {
  Language language = Language::kEnglish;
  // One JSON object per file, a line each (JSON Lines), on stdout instead of
  // the line, with the detail and the warnings in it and not on stderr.
  bool json = false;
};

// Runs run_one for each file in order and shows its outcome as it ends:
// "FILE: MESSAGE" on stdout, the detail and the warnings on stderr (or the
// JSON object). A preview
// (FILE.preview.wav) is skipped, so a second run over *.wav does not take the
// previews for recordings; after Ctrl-C the files not reached are only named.
// Returns the exit status: 130 after Ctrl-C, else 1 when any file failed, else 0.
int RunBatch(const std::vector<std::string>& files, const BatchOptions& options,
             const std::function<FileOutcome(const std::string& file)>& run_one);

// A failure outcome whose message comes from the core.
FileOutcome FailedOutcome(const std::string& message);

}  // namespace kelditra
