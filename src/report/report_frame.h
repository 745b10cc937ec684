#pragma once

#include <cstdint>
#include <vector>

namespace kelditra {

// What the report shows of one frame: the search's choice and how well it fit.
struct ReportFrame {
  int32_t fundamental = 0;         // Hz, from the pitch track
  int32_t voice = 0;
  int32_t frequency = 0;           // Hz, as recorded
  int32_t gain = 0;                // ladder value, 1/4096 units
  int64_t error = 0;               // the winner's matching error
  int64_t runner_up_error = -1;    // best error of any other entry; -1 when none was tried
  bool harmonic = false;           // matched against the harmonic spectrum
  bool silent = false;             // nothing measurable in the frame
  std::vector<int32_t> target;     // the 64 compared bins of the frame's spectrum
  std::vector<int32_t> scaled;     // the chosen entry's 64 values at the chosen gain
};

}  // namespace kelditra
