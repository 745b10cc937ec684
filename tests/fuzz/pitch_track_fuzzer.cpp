// FrameFundamental for any track length and any number of frames: the first
// three bytes give the frame count, the rest is the track.
#include <cstdint>
#include <cstring>
#include <memory>

#include "formats/parameter_file.h"
#include "formats/pitch_track.h"
#include "fuzz_checks.h"

namespace kelditra {

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  // Up to a few frames past the most a job ever asks for.
  const int32_t frames =
      static_cast<int32_t>((data[0] | data[1] << 8 | data[2] << 16) % (kRecordCapacity + 64));
  const auto length = static_cast<int32_t>(size - 3);

  // Exactly the track's bytes, with none of the loader's zeros behind them:
  // a read past the track is reported, whatever the frame.
  std::unique_ptr<uint8_t[]> track(new uint8_t[static_cast<size_t>(length)]);
  if (length > 0) std::memcpy(track.get(), data + 3, static_cast<size_t>(length));

  auto track_byte = [&](int64_t offset) -> int32_t {
    return offset < length ? track[static_cast<size_t>(offset)] : 0;
  };
  for (int32_t frame = 0; frame < frames; ++frame) {
    const int64_t offset = int64_t{kPitchRecordBytes} * frame + kPitchFundamentalOffset;
    const int32_t fundamental = FrameFundamental(track.get(), length, frame);
    Require(fundamental == track_byte(offset) + 256 * track_byte(offset + 1),
            "a fundamental is its two bytes, 0 for each past the end of the track");
  }
  Require(FrameFundamental(track.get(), length, INT32_MAX) == 0, "the farthest frame reads 0");
  return 0;
}

}  // namespace kelditra
