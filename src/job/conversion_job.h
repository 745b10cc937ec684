#pragma once

#include <cstdint>
#include <string>

#include "formats/paths.h"
#include "io/failure.h"
#include "job/conversion_inputs.h"
#include "job/job_host.h"
#include "job/search_settings.h"

namespace kelditra {

class KeptVoiceTable;

// What a front end may choose about a job. The defaults are the dialog's.
struct JobSettings {
  std::string voice_table_path = kVoiceTableName;
  SearchSettings search;
  // Where a batch keeps its prepared table between jobs; none: every job
  // loads and prepares the table itself.
  KeptVoiceTable* kept_table = nullptr;
  // Where the parameter file goes, and where a pitch track is looked for
  // before the one beside the WAV file; empty: beside the WAV file.
  std::string output_folder;
};

// What one conversion came to.
struct JobResult {
  Failure failure;     // kind kNone when the parameter file was written
  SoundCounts counts;  // once the inputs were accepted
};

// One conversion, from the convert button's press to its one message box:
// the path from the host's path field, the voice table, the pitch track and
// the WAV file in, the parameter file out.
JobResult RunConversionJob(JobHost& host, const JobSettings& settings = {});

}  // namespace kelditra
