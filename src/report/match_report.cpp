#include "report/match_report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>
#include <sstream>

#include "report/base64.h"
#include "report/error_scale.h"
#include "report/report_audio.h"
#include "report/report_script.h"
#include "report/report_spectrogram.h"

namespace {

std::string HtmlEscaped(const std::string& text) {
  std::string escaped;
  for (char c : text) {
    switch (c) {
      case '&': escaped += "&amp;"; break;
      case '<': escaped += "&lt;"; break;
      case '>': escaped += "&gt;"; break;
      case '"': escaped += "&quot;"; break;
      default: escaped += c;
    }
  }
  return escaped;
}

std::string Fixed(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

// Small shares keep two significant digits rather than reading 0.0%.
std::string Percent(double ratio) {
  char text[64];
  const double percent = 100 * ratio;
  std::snprintf(text, sizeof text, percent >= 1 || percent == 0 ? "%.1f%%" : "%.2g%%", percent);
  return text;
}

template <typename Value, typename Field>
void JsonArray(std::ostringstream& out, const std::vector<ReportFrame>& frames, Field field) {
  out << '[';
  for (size_t i = 0; i < frames.size(); ++i) {
    if (i > 0) out << ',';
    out << static_cast<Value>(field(frames[i]));
  }
  out << ']';
}

template <typename Value>
void JsonList(std::ostringstream& out, const std::vector<Value>& values) {
  out << '[';
  for (size_t i = 0; i < values.size(); ++i) out << (i > 0 ? "," : "") << values[i];
  out << ']';
}

void JsonBins(std::ostringstream& out, const std::vector<ReportFrame>& frames,
              std::vector<int32_t> ReportFrame::*bins) {
  out << '[';
  for (size_t i = 0; i < frames.size(); ++i) {
    if (i > 0) out << ',';
    JsonList(out, frames[i].*bins);
  }
  out << ']';
}

struct Summary {
  int32_t frames = 0;
  int32_t unpitched = 0;
  int32_t silent = 0;
  int32_t silent_unpitched = 0;
  size_t entries_used = 0;
  double mean_error = 0;
  double error_ratio = 0;           // all errors over all silence errors, sounding frames
  double median_residual_db = 0;    // over sounding frames
  int32_t sounding = 0;
};

// The page opens on the voiced frame with the largest gain, the first of
// several: a frame that sounds, where the match is worth a look.
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

Summary Summarise(const std::vector<ReportFrame>& frames, const std::vector<int64_t>& silence) {
  Summary summary;
  summary.frames = static_cast<int32_t>(frames.size());
  std::set<int32_t> voices;
  double error_sum = 0, sounding_error = 0, sounding_silence = 0;
  std::vector<double> residuals;
  for (size_t i = 0; i < frames.size(); ++i) {
    const ReportFrame& frame = frames[i];
    const bool unpitched = frame.fundamental == 0;
    summary.unpitched += unpitched;
    summary.silent += frame.silent;
    summary.silent_unpitched += frame.silent && unpitched;
    voices.insert(frame.voice);
    error_sum += static_cast<double>(frame.error);
    if (silence[i] > 0) {
      sounding_error += static_cast<double>(frame.error);
      sounding_silence += static_cast<double>(silence[i]);
      residuals.push_back(ResidualDecibels(frame.error, silence[i]));
    }
  }
  summary.entries_used = voices.size();
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

void Figure(std::ostringstream& out, const char* id, const char* name, const std::string& value,
            const std::string& meaning) {
  out << "<div class=\"figure\"><dt>" << name << "</dt><dd><b id=\"" << id << "\">" << value
      << "</b> " << meaning << "</dd></div>\n";
}

void RenderSummary(std::ostringstream& out, const Summary& s) {
  out << "<dl id=\"summary\">\n";
  Figure(out, "summary-frames", "frames", std::to_string(s.frames),
         "of 1/60 s: <span id=\"summary-duration\">" + Fixed(s.frames / 60.0, 2) +
             "</span> s of sound, each given one voice, frequency and gain.");
  Figure(out, "summary-unpitched", "frames without pitch", std::to_string(s.unpitched),
         "where the pitch track gives 0 Hz (pauses, breath, most consonants). There the "
         "analysis measures only the frame's average level, a flat spectrum, not the sound.");
  Figure(out, "summary-silent", "silent frames", std::to_string(s.silent),
         "whose compared spectrum is zero throughout: they keep voice 0 at gain 0 and make no "
         "sound. " + std::to_string(s.silent_unpitched) + " of them have no pitch.");
  Figure(out, "summary-entries", "voices used", std::to_string(s.entries_used),
         "different entries of the 262,144 in the voice table.");
  Figure(out, "summary-residual", "typical match",
         s.sounding > 0 ? Fixed(s.median_residual_db, 1) + " dB" : "none",
         "median over the " + std::to_string(s.sounding) +
             " frames that are not silent: how far the difference between a frame's "
             "spectrum and its chosen voice lies below the spectrum. 0 dB is no better "
             "than silence, &minus;10 dB a difference a third the size, &minus;20 dB a tenth.");
  Figure(out, "summary-error-ratio", "error against silence", Percent(s.error_ratio),
         "all matching errors as a share of what silence (any voice at gain 0) would leave "
         "in the same frames; 0% is a perfect match.");
  Figure(out, "summary-error", "mean matching error", Fixed(s.mean_error, 1),
         "per frame, the search's own measure: the cubes of the 64 compared differences, in "
         "steps of 8. It grows with loudness; the two figures above give it a scale.");
  out << "</dl>\n";
}

void RenderBinSection(std::ostringstream& out, const BinComparison& bin, int32_t frames,
                      int32_t sounding) {
  out << "<section id=\"bin-section\" data-agreement=\"";
  switch (bin.agreement) {
    case BinAgreement::kNoBin:
      out << "none\"><p id=\"bin-state\">There is no .bin beside this sound to compare with.";
      break;
    case BinAgreement::kSame:
      out << "same\"><p id=\"bin-state\">The .bin beside this sound holds exactly this search's "
             "choices in all "
          << frames << " frames.";
      break;
    case BinAgreement::kSomeDiffer:
      out << "some\"><p id=\"bin-state\" class=\"warn\">The .bin beside this sound differs from "
             "this search in "
          << bin.differing_frames.size() << " of " << frames
          << " frames, marked in red on the charts and listed below (click one to see it). "
             "The rest agree.";
      break;
    case BinAgreement::kMostDiffer:
      out << "most\"><p id=\"bin-state\" class=\"warn\">The .bin beside this sound differs from "
             "this search in "
          << bin.differing_frames.size() << " of the " << sounding
          << " frames that sound: it was most likely made with another voice table (or from "
             "another take of this sound). Convert again with this table to compare frame by "
             "frame.";
      break;
    case BinAgreement::kOtherLength:
      out << "length\"><p id=\"bin-state\" class=\"warn\">The .bin beside this sound holds "
          << bin.records << " records, but the sound has " << frames
          << " frames: it belongs to another sound. Convert again to compare.";
      break;
  }
  out << "</p>";
  if (bin.agreement == BinAgreement::kSomeDiffer) {
    out << "<ul id=\"bin-list\"></ul>";
  }
  out << "</section>\n";
}

void RenderBinData(std::ostringstream& out, const BinComparison& bin) {
  std::vector<int32_t> voices, frequencies, gains;
  for (const ParameterRecord& record : bin.bin_records) {
    voices.push_back(record.voice_high * 16 + record.voice_low);
    frequencies.push_back(record.frequency);
    gains.push_back(record.gain);
  }
  static constexpr const char* kNames[] = {"none", "same", "some", "most", "length"};
  out << "{agreement: '" << kNames[static_cast<int>(bin.agreement)] << "', frames: ";
  JsonList(out, bin.differing_frames);
  out << ", voice: ";
  JsonList(out, voices);
  out << ", frequency: ";
  JsonList(out, frequencies);
  out << ", gain: ";
  JsonList(out, gains);
  out << '}';
}

constexpr const char* kStyle = R"CSS(
* { box-sizing: border-box; }
body { font: 14px/1.45 system-ui, sans-serif; margin: 0 16px 24px; color: #222; }
h1 { font-size: 20px; margin: 14px 0 2px; word-break: break-all; }
h2 { font-size: 16px; margin: 16px 0 4px; }
.lead { margin: 0 0 10px; color: #555; }
#summary { display: grid; grid-template-columns: repeat(auto-fill, minmax(330px, 1fr)); gap: 6px 18px; margin: 0; }
.figure { display: grid; grid-template-columns: 9.5em 1fr; gap: 8px; }
dt { color: #555; } dd { margin: 0; color: #555; } dd b { color: #111; font-size: 15px; margin-right: 4px; }
#bin-section p { margin: 10px 0 4px; } .warn { color: #a01d1d; }
#bin-list { max-height: 9.5em; overflow: auto; margin: 0; padding-left: 20px; font-size: 13px; }
#bin-list li { cursor: pointer; } #bin-list li:hover { text-decoration: underline; }
#player { position: sticky; top: 0; z-index: 3; background: #fff; border-bottom: 1px solid #ddd;
          padding: 8px 0; display: flex; flex-wrap: wrap; gap: 8px; align-items: center; }
#player button { font: inherit; padding: 4px 12px; border: 1px solid #999; border-radius: 4px; background: #f4f4f4; cursor: pointer; }
#player button.on { background: #2a6fb0; color: #fff; border-color: #2a6fb0; }
#clock { font-variant-numeric: tabular-nums; min-width: 10em; }
.hint { color: #666; font-size: 13px; }
#charts { position: relative; margin-top: 6px; user-select: none; }
#charts svg, #charts canvas { display: block; width: 100%; cursor: crosshair; }
#charts svg { background: #fafafa; border-top: 1px solid #fff; }
#playhead { position: absolute; top: 0; bottom: 0; width: 2px; margin-left: -1px; background: #1b9e3e; pointer-events: none; z-index: 2; }
#selection { position: absolute; top: 0; bottom: 0; background: rgba(217,130,43,0.28); border-left: 1px solid #d9822b; pointer-events: none; z-index: 1; }
#hover { position: absolute; z-index: 4; pointer-events: none; background: rgba(255,255,255,0.94); border: 1px solid #aaa;
         border-radius: 3px; padding: 1px 6px; font-size: 12px; white-space: nowrap; display: none; }
.label { font: 12px system-ui, sans-serif; fill: #333; }
.tick { font: 11px system-ui, sans-serif; fill: #666; }
.axis { stroke: #ccc; } .grid { stroke: #e8e8e8; }
.series { fill: none; stroke: #2a6fb0; stroke-width: 1.3; }
.half { fill: #2a6fb0; } .harmonic { fill: #d9822b; } .differs { fill: #c62828; }
.target { fill: #888; } .scaled { fill: #d9822b; }
#frame-panel dl { display: grid; grid-template-columns: repeat(auto-fill, minmax(300px, 1fr)); gap: 2px 18px; margin: 4px 0; }
#frame-panel .figure { grid-template-columns: 8em 1fr; }
#bins { display: block; width: 100%; background: #fafafa; }
)CSS";

}  // namespace

std::string RenderMatchReport(const MatchReportContent& content,
                              const std::vector<ReportFrame>& frames) {
  const Summary summary = Summarise(frames, content.silence_errors);
  std::ostringstream out;
  out << "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
      << "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\"><title>"
      << HtmlEscaped(content.title) << " - match report</title>\n<style>" << kStyle
      << "</style></head>\n<body>\n<h1>" << HtmlEscaped(content.title) << "</h1>\n"
      << "<p class=\"lead\">How closely the voice table's entries match each 1/60 s frame of "
         "this sound, and how the match sounds: the preview plays the chosen voices.</p>\n";
  RenderSummary(out, summary);
  RenderBinSection(out, content.bin, summary.frames, summary.sounding);
  out << "<div id=\"player\">"
         "<button id=\"play-original\" type=\"button\">&#9654; Original</button>"
         "<button id=\"play-preview\" type=\"button\">&#9654; Preview</button>"
         "<span id=\"clock\"></span>"
         "<button id=\"play-frame\" type=\"button\"></button>"
         "<span class=\"hint\">Click a chart to move both sounds there and pick that frame. "
         "Switching between Original and Preview carries on at the same moment.";
  if (content.preview_clipped > 0) {
    out << " " << content.preview_clipped << " preview samples were too loud and were clipped.";
  }
  out << "</span></div>\n"
         "<div id=\"charts\">"
         "<canvas id=\"spectrogram-original\" data-name=\"original\"></canvas>"
         "<canvas id=\"spectrogram-preview\" data-name=\"preview\"></canvas>"
         "<svg id=\"fundamental\" data-name=\"fundamental\"></svg>"
         "<svg id=\"gain\" data-name=\"gain\"></svg>"
         "<svg id=\"residual\" data-name=\"residual\"></svg>"
         "<svg id=\"voices\" data-name=\"voices\"></svg>";
  if (content.bin.agreement == BinAgreement::kSomeDiffer) out << "<svg id=\"bin-diff\" data-name=\"bin\"></svg>";
  out << "<div id=\"selection\"></div><div id=\"playhead\"></div><div id=\"hover\"></div></div>\n"
         "<section id=\"frame-panel\"><h2 id=\"frame-heading\"></h2><dl id=\"frame\"></dl>"
         "<svg id=\"bins\"></svg></section>\n";
  out << "<audio id=\"original\" preload=\"auto\" src=\"" << content.original_audio
      << "\"></audio>\n<audio id=\"preview\" preload=\"auto\" src=\"" << content.preview_audio
      << "\"></audio>\n";

  out << "<script>\n'use strict';\nconst data = {\n  firstFrame: " << OpeningFrame(frames)
      << ",\n  audioRate: " << kPageAudioRate << ",\n  fundamental: ";
  JsonArray<int32_t>(out, frames, [](const ReportFrame& f) { return f.fundamental; });
  out << ",\n  voice: ";
  JsonArray<int32_t>(out, frames, [](const ReportFrame& f) { return f.voice; });
  out << ",\n  frequency: ";
  JsonArray<int32_t>(out, frames, [](const ReportFrame& f) { return f.frequency; });
  out << ",\n  gain: ";
  JsonArray<int32_t>(out, frames, [](const ReportFrame& f) { return f.gain; });
  out << ",\n  error: ";
  JsonArray<int64_t>(out, frames, [](const ReportFrame& f) { return f.error; });
  out << ",\n  silenceError: ";
  JsonList(out, content.silence_errors);
  out << ",\n  runnerUp: ";
  JsonArray<int64_t>(out, frames, [](const ReportFrame& f) { return f.runner_up_error; });
  out << ",\n  harmonic: ";
  JsonArray<int>(out, frames, [](const ReportFrame& f) { return f.harmonic ? 1 : 0; });
  out << ",\n  silent: ";
  JsonArray<int>(out, frames, [](const ReportFrame& f) { return f.silent ? 1 : 0; });
  out << ",\n  target: ";
  JsonBins(out, frames, &ReportFrame::target);
  out << ",\n  scaled: ";
  JsonBins(out, frames, &ReportFrame::scaled);
  out << ",\n  bin: ";
  RenderBinData(out, content.bin);
  out << ",\n  spectrogram: {rows: " << kSpectrogramRows << ", rowHz: " << kSpectrogramRowHz
      << ", rangeDb: " << kSpectrogramRange << ",\n    original: '"
      << Base64(content.original_spectrogram.data(), content.original_spectrogram.size())
      << "',\n    preview: '"
      << Base64(content.preview_spectrogram.data(), content.preview_spectrogram.size())
      << "'},\n};\n"
      << kReportScript << "</script>\n</body></html>\n";
  return out.str();
}
