#include "report/match_report.h"

#include <algorithm>
#include <cstdio>
#include <set>
#include <sstream>

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

template <typename Value, typename Field>
void JsonArray(std::ostringstream& out, const std::vector<ReportFrame>& frames, Field field) {
  out << '[';
  for (size_t i = 0; i < frames.size(); ++i) {
    if (i > 0) out << ',';
    out << static_cast<Value>(field(frames[i]));
  }
  out << ']';
}

void JsonBins(std::ostringstream& out, const std::vector<ReportFrame>& frames,
              std::vector<int32_t> ReportFrame::*bins) {
  out << '[';
  for (size_t i = 0; i < frames.size(); ++i) {
    if (i > 0) out << ',';
    out << '[';
    const std::vector<int32_t>& values = frames[i].*bins;
    for (size_t j = 0; j < values.size(); ++j) out << (j > 0 ? "," : "") << values[j];
    out << ']';
  }
  out << ']';
}

struct Summary {
  size_t frames = 0;
  size_t silent = 0;
  size_t entries_used = 0;
  double mean_error = 0;
};

Summary Summarise(const std::vector<ReportFrame>& frames) {
  Summary summary;
  summary.frames = frames.size();
  std::set<int32_t> voices;
  double error_sum = 0;
  for (const ReportFrame& frame : frames) {
    if (frame.silent) ++summary.silent;
    voices.insert(frame.voice);
    error_sum += static_cast<double>(frame.error);
  }
  summary.entries_used = voices.size();
  summary.mean_error = frames.empty() ? 0 : error_sum / frames.size();
  return summary;
}

// The page's script: draws the charts from the embedded data and answers
// clicks. Kept free of any library so the file opens anywhere, offline.
constexpr const char* kScript = R"JS(
const SVG = 'http://www.w3.org/2000/svg';
const W = 900, H = 140, PAD = 48;
function el(name, attrs, parent) {
  const node = document.createElementNS(SVG, name);
  for (const [k, v] of Object.entries(attrs)) node.setAttribute(k, v);
  if (parent) parent.appendChild(node);
  return node;
}
function xOf(i) { return PAD + (data.fundamental.length <= 1 ? 0 : i * (W - 2 * PAD) / (data.fundamental.length - 1)); }
function frameAt(svg, event) {
  const box = svg.getBoundingClientRect();
  const x = (event.clientX - box.left) * W / box.width;
  const n = data.fundamental.length;
  return Math.max(0, Math.min(n - 1, Math.round((x - PAD) * (n - 1) / (W - 2 * PAD))));
}
function lineChart(id, values, label, log) {
  const svg = document.getElementById(id);
  const shown = values.map(v => log ? Math.log10(1 + Math.max(0, v)) : v);
  const top = Math.max(1, ...shown);
  el('text', {x: 4, y: 14, class: 'label'}, svg).textContent = label + (log ? ' (log)' : '') +
      '  max ' + Math.max(...values);
  el('line', {x1: PAD, y1: H - 20, x2: W - PAD, y2: H - 20, class: 'axis'}, svg);
  const points = shown.map((v, i) => xOf(i).toFixed(1) + ',' + (H - 20 - v * (H - 40) / top).toFixed(1));
  el('polyline', {points: points.join(' '), class: 'series', 'data-points': values.length}, svg);
  svg.addEventListener('click', e => select(frameAt(svg, e)));
}
function voiceChart() {
  const svg = document.getElementById('voices');
  el('text', {x: 4, y: 14, class: 'label'}, svg).textContent = 'voice index (0 to 262143)';
  el('line', {x1: PAD, y1: H - 20, x2: W - PAD, y2: H - 20, class: 'axis'}, svg);
  data.voice.forEach((v, i) => {
    const dot = el('circle', {cx: xOf(i).toFixed(1), cy: (H - 20 - v * (H - 40) / 262143).toFixed(1),
                              r: 2.5, class: data.harmonic[i] ? 'harmonic' : 'half', 'data-frame': i}, svg);
    dot.addEventListener('click', e => { e.stopPropagation(); select(i); });
  });
  svg.addEventListener('click', e => select(frameAt(svg, e)));
}
function select(i) {
  const svg = document.getElementById('bins');
  while (svg.firstChild) svg.removeChild(svg.firstChild);
  const target = data.target[i], scaled = data.scaled[i];
  const top = Math.max(1, ...target, ...scaled);
  const bw = (W - 2 * PAD) / 64;
  for (let j = 0; j < 64; j++) {
    const x = PAD + j * bw;
    const th = target[j] * (H * 2 - 40) / top, sh = scaled[j] * (H * 2 - 40) / top;
    el('rect', {x: x.toFixed(1), y: (H * 2 - 20 - th).toFixed(1), width: (bw * 0.45).toFixed(1),
                height: th.toFixed(1), class: 'target', 'data-bin': j, 'data-value': target[j]}, svg);
    el('rect', {x: (x + bw * 0.45).toFixed(1), y: (H * 2 - 20 - sh).toFixed(1), width: (bw * 0.45).toFixed(1),
                height: sh.toFixed(1), class: 'scaled', 'data-bin': j, 'data-value': scaled[j]}, svg);
  }
  el('line', {x1: PAD, y1: H * 2 - 20, x2: W - PAD, y2: H * 2 - 20, class: 'axis'}, svg);
  const runnerUp = data.runnerUp[i] < 0 ? 'none' : data.runnerUp[i];
  document.getElementById('frame').textContent =
      'frame ' + i + ' (' + (i / 60).toFixed(3) + ' s): fundamental ' + data.fundamental[i] +
      ' Hz, voice ' + data.voice[i] + ' at ' + data.frequency[i] + ' Hz, gain ' + data.gain[i] +
      ', error ' + data.error[i] + ', second-best entry ' + runnerUp +
      (data.harmonic[i] ? ' (harmonic spectrum)' : ' (half-harmonic spectrum)');
  document.body.setAttribute('data-selected', i);
}
lineChart('fundamental', data.fundamental, 'fundamental (Hz)', false);
lineChart('gain', data.gain, 'gain (1/4096)', false);
lineChart('error', data.error, 'matching error', true);
voiceChart();
if (data.fundamental.length > 0) select(0);
)JS";

constexpr const char* kStyle = R"CSS(
body { font: 14px sans-serif; margin: 16px; color: #222; }
svg { display: block; width: 100%; max-width: 900px; background: #fafafa; margin: 6px 0; cursor: crosshair; }
.label { font: 12px sans-serif; fill: #444; }
.axis { stroke: #bbb; }
.series { fill: none; stroke: #2a6fb0; stroke-width: 1.2; }
.half { fill: #2a6fb0; } .harmonic { fill: #d9822b; }
.target { fill: #777; } .scaled { fill: #d9822b; }
table { border-collapse: collapse; } td { padding: 2px 12px 2px 0; }
)CSS";

}  // namespace

std::string RenderMatchReport(const std::string& title, const std::vector<ReportFrame>& frames) {
  const Summary summary = Summarise(frames);
  std::ostringstream out;
  out << "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>"
      << HtmlEscaped(title) << " - match report</title>\n<style>" << kStyle
      << "</style></head>\n<body>\n<h1>" << HtmlEscaped(title) << "</h1>\n";
  char mean[64];
  std::snprintf(mean, sizeof mean, "%.1f", summary.mean_error);
  out << "<table id=\"summary\">"
      << "<tr><td>frames</td><td id=\"summary-frames\">" << summary.frames << "</td></tr>"
      << "<tr><td>silent frames</td><td id=\"summary-silent\">" << summary.silent << "</td></tr>"
      << "<tr><td>entries used</td><td id=\"summary-entries\">" << summary.entries_used
      << "</td></tr>"
      << "<tr><td>mean error</td><td id=\"summary-error\">" << mean << "</td></tr></table>\n";
  out << "<p>Click any chart to see that frame's spectrum (grey) beside the chosen entry at its "
         "gain (orange). Voice dots: orange for the harmonic spectrum, blue for the "
         "half-harmonic.</p>\n";
  for (const char* id : {"fundamental", "gain", "error", "voices"}) {
    out << "<svg id=\"" << id << "\" viewBox=\"0 0 900 140\"></svg>\n";
  }
  out << "<p id=\"frame\"></p>\n<svg id=\"bins\" viewBox=\"0 0 900 280\"></svg>\n";

  out << "<script>\nconst data = {\n  fundamental: ";
  JsonArray<int32_t>(out, frames, [](const ReportFrame& f) { return f.fundamental; });
  out << ",\n  voice: ";
  JsonArray<int32_t>(out, frames, [](const ReportFrame& f) { return f.voice; });
  out << ",\n  frequency: ";
  JsonArray<int32_t>(out, frames, [](const ReportFrame& f) { return f.frequency; });
  out << ",\n  gain: ";
  JsonArray<int32_t>(out, frames, [](const ReportFrame& f) { return f.gain; });
  out << ",\n  error: ";
  JsonArray<int64_t>(out, frames, [](const ReportFrame& f) { return f.error; });
  out << ",\n  runnerUp: ";
  JsonArray<int64_t>(out, frames, [](const ReportFrame& f) { return f.runner_up_error; });
  out << ",\n  harmonic: ";
  JsonArray<int>(out, frames, [](const ReportFrame& f) { return f.harmonic ? 1 : 0; });
  out << ",\n  target: ";
  JsonBins(out, frames, &ReportFrame::target);
  out << ",\n  scaled: ";
  JsonBins(out, frames, &ReportFrame::scaled);
  out << "\n};\n" << kScript << "</script>\n</body></html>\n";
  return out.str();
}
