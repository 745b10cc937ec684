#include "cli/progress_bar.h"

#include <chrono>
#include <cstdio>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

const auto kProcessStart = std::chrono::steady_clock::now();

std::string Duration(double seconds) {
  const int whole = static_cast<int>(seconds + 0.5);
  char text[32];
  std::snprintf(text, sizeof text, "%d:%02d", whole / 60, whole % 60);
  return text;
}

}  // namespace

bool StderrIsTerminal() {
#ifdef _WIN32
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(fileno(stderr)) != 0;
#endif
}

double SecondsSinceStart() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - kProcessStart).count();
}

void ProgressBar::Draw(const std::string& label, double done, double total, double seconds,
                       const char* unit) {
  if (!enabled_) return;
  constexpr int kBarWidth = 30;
  const double fraction = total > 0 ? done / total : 0;
  const double rate = seconds > 0 ? done / seconds : 0;
  const double left = rate > 0 ? (total - done) / rate : 0;
  const int filled = static_cast<int>(fraction * kBarWidth);
  std::string bar(static_cast<size_t>(filled < 0 ? 0 : filled), '#');
  bar.resize(kBarWidth, '.');
  std::fprintf(stderr, "\r%s [%s] %5.1f%%  %.1f %s/s  %s left \033[K", label.c_str(), bar.c_str(),
               fraction * 100, rate, unit, Duration(left).c_str());
  std::fflush(stderr);
  drawn_ = true;
}

void ProgressBar::Status(const std::string& text) {
  if (!enabled_) return;
  std::fprintf(stderr, "\r%s\033[K", text.c_str());
  std::fflush(stderr);
  drawn_ = true;
}

void ProgressBar::Clear() {
  if (!drawn_) return;
  std::fprintf(stderr, "\r\033[K");
  std::fflush(stderr);
  drawn_ = false;
}
