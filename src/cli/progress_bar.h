#pragma once

#include <cstdint>
#include <string>

// A one-line progress bar on stderr, redrawn in place: the label, the bar,
// the percentage, a rate and the time left. Silent unless enabled, which the
// commands do only when stderr is a terminal and --quiet is absent.
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
  bool enabled_;
  bool drawn_ = false;
};

// Whether stderr goes to a terminal, where a bar redrawn in place makes sense.
bool StderrIsTerminal();

// Wall-clock seconds since the process started.
double SecondsSinceStart();
