#include "analysis/voice_match.h"

#include <algorithm>

#include "formats/voice_table.h"

namespace kelditra {

int64_t MatchingError(const uint16_t* entry, int32_t gain, const int32_t* target,
                      int64_t give_up_above) {
  int64_t error = 0;
  for (int32_t j = 0; j < kPreparedEntryValues; ++j) {
    const int32_t scaled = (entry[j] * gain) >> 12;
    // The arithmetic shift rounds toward minus infinity: falling short of the
    // frame by one costs a unit, overshooting by up to 7 costs nothing.
    const int32_t step = (scaled - target[2 * j]) >> 3;
    const int32_t a = step < 0 ? -step : step;
    error += int64_t{a * a} * a;
    if (error > give_up_above) break;
  }
  return error;
}

BestMatch MatchFrame(const FrameSpectra& spectra, const PreparedVoiceTable& table,
                     const int32_t ladder[kGainSteps]) {
  BestMatch best;
  for (int32_t voice = 0; voice < kVoiceCount; ++voice) {
    const bool harmonic = MatchesHarmonicSpectrum(voice);
    const int32_t* target = harmonic ? spectra.harmonic : spectra.half_harmonic;
    const int32_t target_sum = harmonic ? spectra.harmonic_sum : spectra.half_harmonic_sum;
    const int32_t frequency = harmonic ? 2 * spectra.fundamental : spectra.fundamental;
    if (table.skip_flags[voice] != 0) continue;

    const GainWindow window = GainWindowFor(table.entry_sums[voice], target_sum, ladder);
    const uint16_t* entry = PreparedEntry(table.entries, voice);
    for (int32_t g = window.lower; g <= window.upper; ++g) {
      const int64_t error = MatchingError(entry, ladder[g], target, best.error);
      if (error < best.error) best = {error, voice, g, frequency};
    }
  }
  return best;
}

RankedMatch MatchFrameRanked(const FrameSpectra& spectra, const PreparedVoiceTable& table,
                             const int32_t ladder[kGainSteps]) {
  RankedMatch ranked;
  for (int32_t voice = 0; voice < kVoiceCount; ++voice) {
    if (table.skip_flags[voice] != 0) continue;
    const bool harmonic = MatchesHarmonicSpectrum(voice);
    const int32_t* target = harmonic ? spectra.harmonic : spectra.half_harmonic;
    const int32_t target_sum = harmonic ? spectra.harmonic_sum : spectra.half_harmonic_sum;
    const int32_t frequency = harmonic ? 2 * spectra.fundamental : spectra.fundamental;

    // An entry matters only while it may still beat the runner-up; errors
    // cut short above that are never compared below it.
    const GainWindow window = GainWindowFor(table.entry_sums[voice], target_sum, ladder);
    const uint16_t* entry = PreparedEntry(table.entries, voice);
    int64_t entry_error = INT64_MAX;
    int32_t entry_gain = window.lower;
    for (int32_t g = window.lower; g <= window.upper; ++g) {
      const int64_t limit = std::min(entry_error, ranked.runner_up_error);
      const int64_t error = MatchingError(entry, ladder[g], target, limit);
      if (error < entry_error) {
        entry_error = error;
        entry_gain = g;
      }
    }
    if (entry_error < ranked.best.error) {
      ranked.runner_up_error = ranked.best.error;
      ranked.best = {entry_error, voice, entry_gain, frequency};
    } else if (entry_error < ranked.runner_up_error) {
      ranked.runner_up_error = entry_error;
    }
  }
  return ranked;
}

}  // namespace kelditra
