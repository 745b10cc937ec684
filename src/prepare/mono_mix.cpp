#include "prepare/mono_mix.h"

#include <algorithm>
#include <cmath>

#include "formats/sound_timing.h"
#include "formats/parameter_file.h"
#include "prepare/decoded_sound.h"

namespace kelditra {

namespace {

constexpr int64_t kLowestRate = 1000;
constexpr int64_t kHighestRate = 768000;
constexpr int64_t kMostChannels = 64;
// Far beyond full scale, where everything is clipped in the end anyway, yet
// small enough that no sum of channels and no filter overflows a float.
constexpr float kLargestInput = 64;

}  // namespace

int64_t MostPreparedSamples() { return int64_t{kRecordCapacity} * kFrameLength; }

bool UsableLayout(int64_t rate, int64_t channels) {
  return rate >= kLowestRate && rate <= kHighestRate && channels >= 1 &&
         channels <= kMostChannels;
}

MonoMix::MonoMix(int32_t channels) : channels_(channels), heard_(channels, 0) {}

void MonoMix::Mix(const float* frames, size_t frame_count, float* mono) {
  const float scale = 1.0f / static_cast<float>(channels_);
  for (size_t frame = 0; frame < frame_count; ++frame) {
    const float* channel = frames + frame * channels_;
    float sum = 0;
    for (int32_t c = 0; c < channels_; ++c) {
      const float value =
          std::isfinite(channel[c]) ? std::clamp(channel[c], -kLargestInput, kLargestInput) : 0.0f;
      if (value != 0) heard_[c] = 1;
      sum += value;
    }
    mono[frame] = channels_ == 1 ? sum : sum * scale;
  }
}

int32_t MonoMix::SilentChannels() const {
  return static_cast<int32_t>(std::count(heard_.begin(), heard_.end(), 0));
}

void MonoMix::RestoreLevel(std::vector<float>* samples) const {
  const int32_t sounding = channels_ - SilentChannels();
  if (sounding == 0 || sounding == channels_) return;
  const float gain = static_cast<float>(channels_) / static_cast<float>(sounding);
  for (float& sample : *samples) sample *= gain;
}

}  // namespace kelditra
