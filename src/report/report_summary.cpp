#include "report/report_summary.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>

#include "report/error_scale.h"

namespace kelditra {

int32_t OpeningFrame(const std::vector<ReportFrame>& frames) {
  int32_t chosen = -1;
  for (const bool voiced_only : {true, false}) {
    for (size_t i = 0; i < frames.size(); ++i) {
      if (voiced_only && frames[i].fundamental == 0) continue;
      if (chosen < 0 || frames[i].gain > frames[static_cast<size_t>(chosen)].gain) {
        chosen = static_cast<int32_t>(i);
      }
    }
    if (chosen >= 0) break;
  }
  return chosen;
}

MatchSummary Summarise(const std::vector<ReportFrame>& frames,
                       const std::vector<int64_t>& silence_errors) {
  MatchSummary summary;
  summary.frames = static_cast<int32_t>(frames.size());
  std::set<int32_t> voices;
  double error_sum = 0, sounding_error = 0, sounding_silence = 0;
  std::vector<double> residuals;
  for (size_t i = 0; i < frames.size(); ++i) {
    const ReportFrame& frame = frames[i];
    const bool unpitched = frame.fundamental == 0;
    summary.unpitched += unpitched;
    if (frame.silent) {
      if (summary.silent_voice < 0) {
        summary.silent_voice = frame.voice;
        summary.silent_gain = frame.gain;
      }
      summary.silent_alike += frame.voice == summary.silent_voice && frame.gain == summary.silent_gain;
      ++summary.silent;
      summary.silent_unpitched += unpitched;
    }
    voices.insert(frame.voice);
    error_sum += static_cast<double>(frame.error);
    const int64_t silence = silence_errors[i];
    if (silence > 0) {
      sounding_error += static_cast<double>(frame.error);
      sounding_silence += static_cast<double>(silence);
      residuals.push_back(ResidualDecibels(frame.error, silence));
      summary.worse_than_silence += frame.error > silence;
    }
  }
  summary.entries_used = static_cast<int32_t>(voices.size());
  summary.mean_error = frames.empty() ? 0 : error_sum / frames.size();
  summary.sounding = static_cast<int32_t>(residuals.size());
  summary.error_ratio = sounding_silence > 0 ? sounding_error / sounding_silence : 0;
  if (!residuals.empty()) {
    std::sort(residuals.begin(), residuals.end());
    const size_t middle = residuals.size() / 2;
    summary.median_residual_db = residuals.size() % 2 == 1
                                     ? residuals[middle]
                                     : (residuals[middle - 1] + residuals[middle]) / 2;
  }
  return summary;
}

std::string SizeInWords(double decibels) {
  const double ratio = std::pow(10.0, decibels / 20);
  char text[64];
  if (ratio < 0.5) {
    std::snprintf(text, sizeof text, "about 1/%.0f the size of", std::round(1 / ratio));
  } else if (ratio < 0.95) {
    std::snprintf(text, sizeof text, "over half the size of");
  } else if (ratio < 1.05) {
    std::snprintf(text, sizeof text, "about the size of");
  } else {
    std::snprintf(text, sizeof text, ratio < 10 ? "about %.1f times the size of" : "about %.0f times the size of", ratio);
  }
  return text;
}

}  // namespace kelditra
