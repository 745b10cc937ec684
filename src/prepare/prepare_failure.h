#pragma once

#include <cstdint>
#include <string>

#include "io/platform_file.h"

namespace kelditra {

// Why a recording could not be prepared, as found where it happened; the
// front end makes the words.
enum class PrepareFailureKind {
  kNone,
  kCannotRead,        // not opened: file_problem says why (missing, a folder, a FIFO, permissions)
  kNotARecording,     // no decoder takes it; reason: the decoder's own words
  kDamaged,           // the decoder stopped part of the way; seconds: what it read until then
  kUnusableLayout,    // a sample rate or a channel count no recording has: rate, channels
  kEmpty,             // no samples at all
  kShorterThanFrame,  // fewer samples than one frame of 1/60 s
  kTooLong,           // more than one conversion holds; seconds: its length, 0 when not told
  kNoMemory,
  kNameTaken,         // path: the file prepare would have made is already there
  kWriteFailed,       // path: the file that could not be written
  kNotOnThisPlatform, // this platform's decoder has no way to read it; reason says what failed
};

struct PrepareFailure {
  PrepareFailureKind kind = PrepareFailureKind::kNone;
  std::string path;
  std::string reason;
  bool missing = false;  // kCannotRead: no such file
  FileProblem file_problem;
  double seconds = 0;
  int64_t rate = 0;
  int64_t channels = 0;

  bool failed() const { return kind != PrepareFailureKind::kNone; }
};

// The recording at path did not open: status and problem as the open said.
inline PrepareFailure CannotRead(const std::string& path, OpenStatus status,
                                 const FileProblem& problem) {
  PrepareFailure failure;
  failure.kind = PrepareFailureKind::kCannotRead;
  failure.path = path;
  failure.missing = status == OpenStatus::kNotFound;
  failure.file_problem = problem;
  return failure;
}

}  // namespace kelditra
