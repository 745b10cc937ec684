#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kelditra {

// The page carries its sounds at a quarter of the analysis rate: speech and
// the preview stay clear up to 5 kHz, and a minute of sound costs 1.3 MB.
inline constexpr int32_t kPageAudioRate = 11025;

// 44100 Hz samples low-passed below the reduced rate's limit and kept one in four.
std::vector<int16_t> ReduceToPageRate(const std::vector<int16_t>& samples);

// A data: URI of a 16-bit mono WAV file of the samples at kPageAudioRate.
std::string WaveDataUri(const std::vector<int16_t>& page_rate_samples);

}  // namespace kelditra
