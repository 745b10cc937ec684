#include "report/error_scale.h"

#include <algorithm>
#include <cmath>

#include "analysis/voice_match.h"
#include "formats/voice_table.h"

namespace kelditra {

int64_t SilenceError(const std::vector<int32_t>& compared_values) {
  // The search reads every second bin of a 128-bin spectrum.
  int32_t spectrum[kSpectrumBins] = {};
  const uint16_t silent_entry[kPreparedEntryValues] = {};
  for (size_t j = 0; j < compared_values.size() && j < kPreparedEntryValues; ++j) {
    spectrum[2 * j] = compared_values[j];
  }
  return MatchingError(silent_entry, 0, spectrum, INT64_MAX);
}

double ResidualDecibels(int64_t error, int64_t silence_error) {
  if (silence_error <= 0) return std::nan("");
  const double ratio = static_cast<double>(std::max<int64_t>(error, 1)) / silence_error;
  return 20.0 / 3.0 * std::log10(ratio);
}

}  // namespace kelditra
