#include "preview/preview_synthesis.h"

#include <cmath>

#include "formats/sound_timing.h"
#include "formats/voice_table.h"

namespace kelditra {

namespace {

constexpr double kNyquist = kSampleRate / 2.0;
constexpr double kTwoPi = 6.283185307179586;
// A voice after a frame at 0 Hz has nothing to grow out of: it fades in over
// its first 3 ms instead of starting at its level, which would click.
constexpr int32_t kOnsetSamples = 132;

double OnsetFade(int32_t n) {
  return n >= kOnsetSamples ? 1.0 : 0.5 - 0.5 * std::cos(kTwoPi / 2 * n / kOnsetSamples);
}

// Amplitude of each component of a frame's record.
void ComponentAmplitudes(const ParameterRecord& record, const uint8_t* prepared_table,
                         double amplitudes[kPreparedEntryValues]) {
  const uint16_t* entry = PreparedEntry(prepared_table, record.Voice());
  amplitudes[0] = 0.0;  // 0 Hz: never a DC offset
  for (int32_t j = 1; j < kPreparedEntryValues; ++j) {
    const double frequency = static_cast<double>(j) * record.frequency;
    const bool audible = frequency > 0.0 && frequency < kNyquist;
    // 64 bits: a hand-made gain above the ladder's top times a large entry
    // value does not fit in 32.
    const int64_t scaled = (int64_t{entry[j]} * record.gain) >> 12;
    amplitudes[j] = audible ? 2.0 * scaled : 0.0;
  }
}

}  // namespace

std::vector<int16_t> SynthesizePreview(const std::vector<ParameterRecord>& records,
                                       const uint8_t* prepared_table, int64_t* clipped) {
  const size_t frames = records.size();
  std::vector<int16_t> samples(frames * kFrameLength);
  *clipped = 0;
  if (frames == 0) return samples;

  std::vector<double> amplitudes(frames * kPreparedEntryValues);
  for (size_t frame = 0; frame < frames; ++frame) {
    ComponentAmplitudes(records[frame], prepared_table, &amplitudes[frame * kPreparedEntryValues]);
  }
  auto amplitude = [&](size_t frame, int32_t j) {
    return amplitudes[frame * kPreparedEntryValues + j];
  };

  double phases[kPreparedEntryValues] = {};
  std::vector<double> mixed(kFrameLength);
  constexpr double kHalf = kFrameLength / 2.0;
  for (size_t frame = 0; frame < frames; ++frame) {
    std::fill(mixed.begin(), mixed.end(), 0.0);
    const size_t previous = frame == 0 ? 0 : frame - 1;
    const size_t next = frame + 1 == frames ? frame : frame + 1;
    // A frame at 0 Hz does not sway, so it cannot carry the next voice in: it
    // stays quiet towards its end, and the next frame fades in instead.
    const bool still = records[frame].frequency == 0;
    const bool onset = frame > 0 && records[previous].frequency == 0;
    for (int32_t j = 1; j < kPreparedEntryValues; ++j) {
      const double here = amplitude(frame, j);
      const double start = (amplitude(previous, j) + here) / 2;
      const double end = still ? 0.0 : (here + amplitude(next, j)) / 2;
      const double step = kTwoPi * j * records[frame].frequency / kSampleRate;
      if (start == 0.0 && here == 0.0 && end == 0.0) {
        phases[j] = std::fmod(phases[j] + step * kFrameLength, kTwoPi);
        continue;
      }
      for (int32_t n = 0; n < kFrameLength; ++n) {
        // Piecewise linear through the frame centres.
        const double level = (n < kHalf ? start + (here - start) * (n / kHalf)
                                        : here + (end - here) * ((n - kHalf) / kHalf)) *
                             (onset ? OnsetFade(n) : 1.0);
        mixed[n] += level * std::sin(phases[j] + step * n);
      }
      phases[j] = std::fmod(phases[j] + step * kFrameLength, kTwoPi);
    }
    for (int32_t n = 0; n < kFrameLength; ++n) {
      double value = std::round(mixed[n]);
      if (value > 32767.0 || value < -32768.0) {
        ++*clipped;
        value = value > 0 ? 32767.0 : -32768.0;
      }
      samples[frame * kFrameLength + n] = static_cast<int16_t>(value);
    }
  }
  return samples;
}

}  // namespace kelditra
