#include "report/match_report.h"

#include <cstdio>
#include <sstream>

#include "report/base64.h"
#include "report/page_files.h"
#include "report/page_template.h"
#include "report/report_audio.h"
#include "report/report_spectrogram.h"
#include "report/report_summary.h"

namespace kelditra {

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

void Figure(std::ostringstream& out, const char* id, const char* name, const std::string& value,
            const std::string& meaning) {
  out << "<div class=\"figure\"><dt>" << name << "</dt><dd><b id=\"" << id << "\">" << value
      << "</b> " << meaning << "</dd></div>\n";
}

std::string SummaryHtml(const MatchSummary& s) {
  std::ostringstream out;
  out << "<dl id=\"summary\">\n";
  Figure(out, "summary-frames", "frames", std::to_string(s.frames),
         "of 1/60 s: <span id=\"summary-duration\">" + Fixed(s.frames / 60.0, 2) +
             "</span> s of sound, each given one voice, frequency and gain.");
  Figure(out, "summary-unpitched", "frames without pitch", std::to_string(s.unpitched),
         "where the pitch track gives 0 Hz (pauses, breath, most consonants). There the "
         "analysis measures only the frame's average level, a flat spectrum, not the sound.");
  std::string silent =
      "whose compared spectrum is zero throughout, so that any voice at gain 0 matches them "
      "exactly.";
  if (s.silent > 0) {
    silent += " The search keeps the first voice it tries: ";
    silent += s.silent_alike == s.silent ? "they are" : std::to_string(s.silent_alike) + " of them are";
    silent += " recorded as voice " + std::to_string(s.silent_voice) + " at gain " +
              std::to_string(s.silent_gain) + (s.silent_gain == 0 ? ", which makes no sound. " : ". ") +
              std::to_string(s.silent_unpitched) + " of them have no pitch.";
  }
  Figure(out, "summary-silent", "silent frames", std::to_string(s.silent), silent);
  Figure(out, "summary-entries", "voices used", std::to_string(s.entries_used),
         "different entries of the 262,144 in the voice table.");
  if (s.sounding == 0) {
    Figure(out, "summary-residual", "typical match", "none", "no frame has anything to match.");
  } else {
    Figure(out, "summary-residual", "typical match", Fixed(s.median_residual_db, 1) + " dB",
           "median over the " + std::to_string(s.sounding) +
               " frames that are not silent: what the chosen voice leaves unmatched is " +
               SizeInWords(s.median_residual_db) + " the frame itself" +
               (s.median_residual_db > 0 ? ", more than silence would leave (see below)" : "") +
               ". 0 dB is no better than silence, &minus;10 dB a difference a third the size, "
               "&minus;20 dB a tenth.");
  }
  std::string ratio =
      "all matching errors as a share of what silence (any voice at gain 0) would leave in the "
      "same frames; 0% is a perfect match.";
  if (s.worse_than_silence > 0) {
    ratio += s.worse_than_silence == s.sounding
                 ? " In all " + std::to_string(s.sounding)
                 : " In " + std::to_string(s.worse_than_silence) + " of the " + std::to_string(s.sounding);
    ratio +=
        " frames that sound, the chosen voice leaves more than silence would: the search tries "
        "each voice only at gains near the frame's level (half to twice), never at gain 0, and no "
        "voice has the shape of such frames (noise, breath).";
  }
  ratio += " The search's own measure: <span id=\"summary-error\">" + Fixed(s.mean_error, 1) +
           "</span> per frame on average, a sum of cubed differences that grows with loudness.";
  Figure(out, "summary-error-ratio", "error against silence", Percent(s.error_ratio), ratio);
  out << "</dl>";
  return out.str();
}

std::string BinSectionHtml(const BinComparison& bin, int32_t frames, int32_t sounding) {
  std::ostringstream out;
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
  out << "</section>";
  return out.str();
}

void RenderBinData(std::ostringstream& out, const BinComparison& bin) {
  std::vector<int32_t> voices, frequencies, gains;
  for (const ParameterRecord& record : bin.bin_records) {
    voices.push_back(record.Voice());
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

// The figures the script draws from, as a JavaScript object.
std::string PageData(const MatchReportContent& content, const std::vector<ReportFrame>& frames) {
  std::ostringstream out;
  out << "{\n  firstFrame: " << OpeningFrame(frames) << ",\n  audioRate: " << kPageAudioRate
      << ",\n  fundamental: ";
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
      << "'},\n}";
  return out.str();
}

}  // namespace

std::string RenderMatchReport(const MatchReportContent& content,
                              const std::vector<ReportFrame>& frames) {
  const MatchSummary summary = Summarise(frames, content.silence_errors);
  const std::string title = HtmlEscaped(content.title);
  std::string clipped;
  if (content.preview_clipped > 0) {
    clipped.append(" ").append(std::to_string(content.preview_clipped))
        .append(" preview samples were too loud and were clipped.");
  }
  const char* bin_chart = content.bin.agreement == BinAgreement::kSomeDiffer
                              ? "<svg id=\"bin-diff\" data-name=\"bin\"></svg>"
                              : "";
  return FillTemplate(kReportPageSkeleton,
                      {{"title", title},
                       {"style", kReportPageStyle},
                       {"summary", SummaryHtml(summary)},
                       {"bin-section", BinSectionHtml(content.bin, summary.frames, summary.sounding)},
                       {"clipped", clipped},
                       {"bin-chart", bin_chart},
                       {"original-audio", content.original_audio},
                       {"preview-audio", content.preview_audio},
                       {"data", PageData(content, frames)},
                       {"script", kReportPageScript}});
}

}  // namespace kelditra
