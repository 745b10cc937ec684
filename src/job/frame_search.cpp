#include "job/frame_search.h"

#include "analysis/simd/simd_level.h"

namespace kelditra {

FrameSearch::FrameSearch(PreparedTable& table, const SearchSettings& settings)
    : table_(table.view()) {
  if (!settings.reference_search) {
    fast_.emplace(table,
                  FastSearchOptions{settings.threads, ChooseSimdLevel(settings.simd).level});
  }
}

FrameSpectra FrameSearch::Spectra(const uint8_t* samples, int32_t frame, int32_t fundamental) {
  return fast_ ? fast_->ComputeFrameSpectra(samples, frame, fundamental)
               : ComputeFrameSpectra(samples, frame, fundamental);
}

BestMatch FrameSearch::Match(const FrameSpectra& spectra, const int32_t ladder[kGainSteps]) {
  return fast_ ? fast_->MatchFrame(spectra, ladder) : MatchFrame(spectra, table_, ladder);
}

RankedMatch FrameSearch::MatchRanked(const FrameSpectra& spectra,
                                     const int32_t ladder[kGainSteps]) {
  return fast_ ? fast_->MatchFrameRanked(spectra, ladder)
               : MatchFrameRanked(spectra, table_, ladder);
}

}  // namespace kelditra
