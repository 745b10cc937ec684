#pragma once

#include <complex>
#include <cstdint>
#include <vector>

namespace kelditra {

// The synthetic voice table's model: voice index v names a two-operator FM tone,
// a carrier whose phase a modulator drives, the modulator feeding back on itself.
//   bits 0..3   carrier frequency multiple (code k gives k, code 0 gives 1/2)
//   bits 4..7   modulator frequency multiple (same coding)
//   bits 8..14  modulation depth, 128 steps on a level scale (see ModulationIndex)
//   bits 15..17 modulator self-feedback, 8 steps, 0 = none
// Multiples are relative to the voice's nominal frequency F, so every component
// of the tone lies on a multiple of F/2: bin n of the entry is the magnitude of
// the component at n * F/2.

struct FmVoice {
  int carrier_halves;    // carrier frequency in units of F/2
  int modulator_halves;  // modulator frequency in units of F/2
  double modulation_index;  // the carrier's peak phase deviation, radians
  double feedback_index;    // the modulator's own peak phase deviation, radians
};

inline constexpr int kDepthSteps = 128;
inline constexpr int kFeedbackSteps = 8;
// What a lone carrier of full amplitude reads in its bin.
inline constexpr double kFullScaleMagnitude = 8192.0;

// Depth step 0 is no modulation; steps 1..127 climb in equal level steps to the
// strongest index, like an operator's output level, so most of the steps fall
// where the sidebands are faint and small differences still tell.
double ModulationIndex(int depth_step);
// Linear up to 1, where the modulator's waveform just reaches a sawtooth-like
// cusp; beyond that the steady state of continuous feedback is no longer unique.
double FeedbackIndex(int feedback_step);

FmVoice DecodeVoice(int32_t voice);

// Holds the sideband spectrum of the modulated carrier for every depth and
// feedback step (they do not depend on the two multiples), then builds any
// entry from them in microseconds. Entry is safe to call from several threads.
class FmVoiceModel {
 public:
  // Highest sideband order kept: enough to reach bin 127 from any carrier.
  static constexpr int kMaxOrder = 160;

  FmVoiceModel();
  // The entry's 128 magnitudes, as the table file holds them.
  std::vector<uint16_t> Entry(int32_t voice) const;

 private:
  const std::complex<double>* Sidebands(int depth_step, int feedback_step) const;

  // Per (feedback, depth): coefficient d_k, k = -kMaxOrder..kMaxOrder, of
  // exp(i * index * modulator(phase)) = sum d_k exp(i k phase).
  std::vector<std::complex<double>> sidebands_;
};

}  // namespace kelditra
