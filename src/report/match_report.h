#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "report/bin_comparison.h"
#include "report/report_frame.h"

namespace kelditra {

// Everything the page shows, computed beforehand.
struct MatchReportContent {
  std::string title;                     // UTF-8
  std::vector<int64_t> silence_errors;   // per frame: the error of gain 0
  BinComparison bin;
  std::string original_audio;            // data: URIs of WAV files
  std::string preview_audio;
  int64_t preview_clipped = 0;           // preview samples limited to 16 bits
  std::vector<uint8_t> original_spectrogram;  // SpectrogramBytes, one shared scale
  std::vector<uint8_t> preview_spectrogram;
};

// One self-contained HTML page (inline SVG, canvas and script, sounds as
// data: URIs, nothing fetched): both sounds to play with one playhead over
// every chart, their spectrograms, fundamental, gain, residual and voice over
// time, a summary in plain words, how an existing .bin differs, and for the
// selected frame its spectrum beside the chosen entry.
std::string RenderMatchReport(const MatchReportContent& content,
                              const std::vector<ReportFrame>& frames);

}  // namespace kelditra
