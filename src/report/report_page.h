#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "report/report_frame.h"

namespace kelditra {

// What the page is made from besides the search's frames.
struct ReportSources {
  std::string title;                      // the WAV path, UTF-8
  const uint8_t* samples = nullptr;       // the sound: little-endian 16-bit, 735 per frame
  const uint8_t* prepared_table = nullptr;  // the voice table after PrepareVoiceTable
  const uint8_t* bin = nullptr;           // the existing FILE.bin as loaded; nullptr when none
  int32_t bin_length = -1;
};

struct ReportPage {
  std::string html;
  // Frames whose .bin record differs from the search's choice (every frame
  // when the record count does not match); -1 without a .bin.
  int32_t disagreeing_records = -1;
};

// Sounds the search's choices with the preview synthesis, measures both
// sounds' spectrograms, compares the .bin and lays it all out as one page.
ReportPage BuildReportPage(const ReportSources& sources, const std::vector<ReportFrame>& frames);

}  // namespace kelditra
