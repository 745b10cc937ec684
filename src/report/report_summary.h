#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "report/report_frame.h"

namespace kelditra {

// What the page says about the sound as a whole.
struct MatchSummary {
  int32_t frames = 0;
  int32_t unpitched = 0;           // the pitch track gives 0 Hz
  int32_t silent = 0;              // the compared spectrum is zero throughout
  int32_t silent_unpitched = 0;
  // The record the first silent frame got, and how many silent frames got
  // the same voice and gain; -1 without silent frames.
  int32_t silent_voice = -1;
  int32_t silent_gain = 0;
  int32_t silent_alike = 0;
  int32_t entries_used = 0;        // different voices chosen
  int32_t sounding = 0;            // frames where silence would leave an error
  int32_t worse_than_silence = 0;  // of those, where the choice leaves more than silence
  double mean_error = 0;           // per frame, in the search's own measure
  double error_ratio = 0;          // all errors over all silence errors, sounding frames
  double median_residual_db = 0;   // ResidualDecibels over the sounding frames
};

// silence_errors holds each frame's SilenceError.
MatchSummary Summarise(const std::vector<ReportFrame>& frames,
                       const std::vector<int64_t>& silence_errors);

// The page opens on the voiced frame with the largest gain, the first of
// several: a frame that sounds, where the match is worth a look. Without
// voiced frames, the frame with the largest gain; -1 without frames.
int32_t OpeningFrame(const std::vector<ReportFrame>& frames);

// A level difference in dB as a size in words, to go before "the frame":
// "about 1/14 the size of", "about 2.2 times the size of".
std::string SizeInWords(double decibels);

}  // namespace kelditra
