#pragma once

#include <string>
#include <vector>

#include "cli/batch.h"
#include "cli/language.h"
#include "io/file_problem.h"

// The files of one job, as the core names them (the platform's encoding).
struct JobFiles {
  std::string wave;
  std::string track;   // the pitch track the job reads
  std::string table;
  std::string output;  // the file the job writes
  std::string parameters = {};  // the parameter file a preview reads
};

// After a failure, the line that tells what was found and what to do: the
// path, the system's reason where there is one, the header's contents, a
// command that sets it right. Made from the files as they are now, after the
// job, so the job itself carries nothing more than its message. Empty when
// there is nothing to add.
std::string DiagnoseFailure(const std::string& core_message, const JobFiles& files,
                            Language language);

// After a conversion (or a report) of the sound: its frames, its voiced
// frames and its length into the outcome, and a warning where the pitch
// track and the sound disagree in length or the sound is too short to give a
// frame.
void MeasureSound(const JobFiles& files, Language language, FileOutcome* outcome);

// Why the file at path could not be read, or written, as found now.
std::string DescribeReadProblem(const std::string& path, const FileProblem& problem,
                                Language language);
std::string DescribeWriteProblem(const std::string& path, Language language);

// The path as the platform's shell takes it, quoted when it must be (in
// double quotes for cmd.exe on Windows).
std::string ShellWord(const std::string& path);
