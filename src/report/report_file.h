#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "io/failure.h"
#include "job/conversion_inputs.h"
#include "job/search_settings.h"

namespace kelditra {

struct ReportRequest {
  std::string wave_path;          // FILE.wav, trimmed
  std::string voice_table_path;
  // The search options of a conversion; every choice gives the same page.
  SearchSettings search;
  // Where the page goes, and where the pitch track and the parameter file are
  // looked for first; empty: beside the WAV file.
  std::string output_folder;
  // Told after every frame.
  std::function<void(int32_t done, int32_t total)> progress;
};

struct ReportOutcome {
  Failure failure;           // kind kNone on success
  SoundCounts counts;        // once the inputs were accepted
  std::string report_path;   // FILE.report.html
  int32_t frames = 0;
  // Frames whose record in an existing FILE.bin differs from the search's
  // choice (the .bin came from another table or another sound); -1 without a .bin.
  int32_t disagreeing_records = -1;
};

// Runs the search over every whole frame, as a conversion does, and writes
// FILE.report.html beside the WAV file. Every block it loads is back in the
// pool when it returns.
ReportOutcome WriteReportFile(const ReportRequest& request);

}  // namespace kelditra
