#include "cli/progress_bar.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "cli/console.h"

namespace kelditra {

namespace {

const auto kProcessStart = std::chrono::steady_clock::now();

constexpr int kWidestBar = 30;

std::string Duration(double seconds) {
  const int whole = static_cast<int>(seconds + 0.5);
  char text[32];
  std::snprintf(text, sizeof text, "%d:%02d", whole / 60, whole % 60);
  return text;
}

// Terminal columns a UTF-8 text takes: one per character, two for the wide
// ones (CJK and kana) a Japanese path may hold.
int ColumnsOf(const std::string& text) {
  int columns = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if ((byte & 0xC0) == 0x80) continue;
    columns += byte >= 0xE0 ? 2 : 1;
  }
  return columns;
}

// The end of the text that fits in columns, "..." in front when cut.
std::string TailFitting(const std::string& text, int columns) {
  if (ColumnsOf(text) <= columns) return text;
  if (columns < 4) return {};
  size_t start = 0;
  while (start < text.size() && ColumnsOf(text.substr(start)) > columns - 3) {
    ++start;
    while (start < text.size() && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) ++start;
  }
  return std::string("...").append(text, start);
}

// The line a bar of the width given shows; the label is cut from the left
// and the bar narrowed, down to none, to fit.
std::string ProgressLine(const std::string& label, double done, double total, double seconds,
                         const char* unit, int columns) {
  const double fraction = total > 0 ? std::clamp(done / total, 0.0, 1.0) : 0;
  const double rate = seconds > 0 ? done / seconds : 0;
  const double left = rate > 0 ? std::max(0.0, (total - done) / rate) : 0;
  char figures[96];
  std::snprintf(figures, sizeof figures, " %5.1f%%  %.1f %s/s  %s left", fraction * 100, rate, unit,
                Duration(left).c_str());
  // The last column stays empty: a character there makes some terminals wrap.
  const int room = columns - 1 - ColumnsOf(figures);
  if (room < 0) return TailFitting(figures + 1, columns - 1);
  // The figures always show; the name keeps 12 columns before the bar
  // narrows, and the bar goes when under 5.
  const int bar_width = std::clamp(room - 3 - 12, 0, kWidestBar);
  std::string bar;
  if (bar_width >= 5) {
    bar = " [";
    bar.append(static_cast<size_t>(fraction * bar_width), '#');
    bar.resize(static_cast<size_t>(bar_width) + 2, '.');
    bar += ']';
  }
  return TailFitting(label, room - ColumnsOf(bar)) + bar + figures;
}

}  // namespace

double SecondsSinceStart() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - kProcessStart).count();
}

void ProgressBar::Draw(const std::string& label, double done, double total, double seconds,
                       const char* unit) {
  if (!enabled_) return;
  Show(ProgressLine(label, done, total, seconds, unit, TerminalColumns()));
}

void ProgressBar::Status(const std::string& text) {
  if (!enabled_) return;
  Show(TailFitting(text, TerminalColumns() - 1));
}

void ProgressBar::Show(const std::string& line) {
  // Spaces over what the last line left, rather than an erase sequence,
  // which not every Windows console knows.
  const int columns = ColumnsOf(line);
  const int cover = std::max(0, std::min(drawn_columns_, TerminalColumns() - 1) - columns);
  std::string shown = "\r";
  shown.append(line).append(static_cast<size_t>(cover), ' ');
  WriteErr(shown);
  drawn_columns_ = columns;
}

void ProgressBar::Clear() {
  if (drawn_columns_ == 0) return;
  std::string blank = "\r";
  blank.append(static_cast<size_t>(std::max(0, std::min(drawn_columns_, TerminalColumns() - 1))), ' ');
  WriteErr(blank + '\r');
  drawn_columns_ = 0;
}

}  // namespace kelditra
