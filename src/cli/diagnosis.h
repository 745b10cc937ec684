#pragma once

#include <string>

#include "cli/batch.h"
#include "cli/language.h"
#include "io/failure.h"
#include "job/conversion_inputs.h"

namespace kelditra {

// The files a conversion (or a report) reads and writes, as the core names
// them (UTF-8), for its warnings.
struct JobFiles {
  std::string wave;
  std::string track;   // the pitch track the job reads
  std::string output;  // the file the job writes
};

// After a failure, the line that tells what was found and what to do: the
// path, the system's reason where there is one, the header's contents, a
// command that sets it right, all from the failure as it was made. wave is
// the file the command was given. Empty when there is nothing to add.
std::string DetailLine(const Failure& failure, const std::string& wave, Language language);

// After a conversion (or a report) of the sound: the frames, voiced frames
// and length the job measured into the outcome, and a warning where the pitch
// track and the sound disagree in length or the sound is too short to give a
// frame.
void TakeCounts(const SoundCounts& counts, const JobFiles& files, Language language,
                FileOutcome* outcome);

// The path as the platform's shell takes it, quoted when it must be (in
// double quotes for cmd.exe on Windows).
std::string ShellWord(const std::string& path);

}  // namespace kelditra
