#pragma once

#include <cstdint>
#include <string>

namespace kelditra {

// A one-line progress bar on stderr, redrawn in place: the label, the bar,
// the percentage, a rate and the time left, fitted to the terminal's width
// as it is at each redraw. Silent unless enabled, which the commands do only
// when stderr is a terminal and --quiet is absent.
class ProgressBar {
 public:
  explicit ProgressBar(bool enabled) : enabled_(enabled) {}
  ~ProgressBar() { Clear(); }

  // done of total units so far, after seconds of work.
  void Draw(const std::string& label, double done, double total, double seconds,
            const char* unit);
  // A step without a measure of its own: just says what is going on.
  void Status(const std::string& text);
  void Clear();

 private:
  void Show(const std::string& line);

  bool enabled_;
  int drawn_columns_ = 0;
};

// Wall-clock seconds since the process started.
double SecondsSinceStart();

}  // namespace kelditra
