#pragma once

#include <cstdint>
#include <optional>

#include "analysis/fast_match.h"
#include "analysis/frame_spectra.h"
#include "analysis/prepared_table.h"
#include "analysis/voice_match.h"
#include "job/search_settings.h"

namespace kelditra {

// The spectra and the search of every frame, fast or plain as the settings
// say; the conversion, the report and the benchmarks all go through it, so
// that one choice of search serves them alike. The fast search's threads
// live as long as this object.
class FrameSearch {
 public:
  FrameSearch(PreparedTable& table, const SearchSettings& settings);

  FrameSpectra Spectra(const uint8_t* samples, int32_t frame, int32_t fundamental);
  BestMatch Match(const FrameSpectra& spectra, const int32_t ladder[kGainSteps]);
  RankedMatch MatchRanked(const FrameSpectra& spectra, const int32_t ladder[kGainSteps]);

 private:
  PreparedVoiceTable table_;
  std::optional<FastSearch> fast_;
};

}  // namespace kelditra
