#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kelditra {

// Whether a recording's rate and channel count are ones this program
// prepares: 1,000 to 768,000 Hz, 1 to 64 channels.
bool UsableLayout(int64_t rate, int64_t channels);

// Mixes interleaved frames to one channel: the mean of the channels. A
// channel that stays at digital silence from start to end (one side of a
// stereo input with nothing plugged in) would halve the level, so once the
// whole recording has been seen, RestoreLevel scales the mix back to the mean
// of the channels that held sound. The mix is linear and so is resampling, so
// that scaling may come after the resampler. In a broken float file, a sample
// that is not a number counts as silence and one beyond 64 times full scale
// is held at that.
class MonoMix {
 public:
  explicit MonoMix(int32_t channels);

  void Mix(const float* frames, size_t frame_count, float* mono);

  int32_t SilentChannels() const;

  void RestoreLevel(std::vector<float>* samples) const;

 private:
  int32_t channels_;
  std::vector<uint8_t> heard_;  // per channel: any sample not 0 yet
};

}  // namespace kelditra
