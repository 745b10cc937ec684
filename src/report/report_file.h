#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "analysis/frame_spectra.h"
#include "analysis/voice_match.h"

// The search the report runs for each frame; it must return exactly the
// plain search's winner, and the best error of any other entry.
using RankedSearch = std::function<RankedMatch(const FrameSpectra&, const int32_t* ladder)>;

struct ReportRequest {
  std::string wave_path;          // FILE.wav, trimmed
  std::string voice_table_path;
  // Makes the frame search once the table is prepared; the plain ranked
  // search when empty.
  std::function<RankedSearch(const PreparedVoiceTable&)> make_search;
  // Told after every frame.
  std::function<void(int32_t done, int32_t total)> progress;
};

struct ReportOutcome {
  std::string message;       // empty on success
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
