// The one RIFF walk over any bytes, in both its modes: the conversion's
// reader, in a block laid out as the loader leaves it, and the description
// behind the detail line, over exactly the bytes given.
#include <sanitizer/asan_interface.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "formats/wave_reader.h"
#include "fuzz_checks.h"

namespace kelditra {

namespace {

// The header search may read this far past the file into the loader's zero
// bytes. The rest of them are poisoned, so a reader that strays further is
// caught even though the zeros would have hidden it.
constexpr size_t kHeaderOverreach = 23;

bool IsRefusal(FailureKind kind) {
  return kind == FailureKind::kUnsupportedWave || kind == FailureKind::kBadDataLength ||
         kind == FailureKind::kNot44100Hz || kind == FailureKind::kNotMono16Bit;
}

void CheckStrict(const uint8_t* data, size_t size) {
  std::vector<uint8_t> block(size + kWaveExtraBytes, 0);
  if (size > 0) std::memcpy(block.data(), data, size);
  uint8_t* const poisoned = block.data() + size + kHeaderOverreach;
  ASAN_POISON_MEMORY_REGION(poisoned, kWaveExtraBytes - kHeaderOverreach);

  WaveSamples samples;
  const Failure refusal = ReadWave(block.data(), static_cast<int32_t>(size), &samples);

  ASAN_UNPOISON_MEMORY_REGION(poisoned, kWaveExtraBytes - kHeaderOverreach);
  Require(size == 0 || std::memcmp(block.data(), data, size) == 0, "the block is left as it was");
  if (refusal) {
    Require(IsRefusal(refusal.kind), "a refusal is one of the reader's four");
    Require(refusal.wave.bytes_looked == static_cast<int64_t>(std::min<size_t>(size, 65536)),
            "a refusal describes the file's first bytes");
    return;
  }
  // The samples the job will analyse lie inside the file, never in the
  // zero bytes behind it.
  Require(samples.count >= 0, "a sample count is never negative");
  Require(samples.data >= block.data(), "the samples start inside the block");
  const size_t offset = static_cast<size_t>(samples.data - block.data());
  Require(offset + 2 * static_cast<size_t>(samples.count) <= size, "the samples end inside the file");
  // Read them all, as the frame loop may, for the sanitizer to see.
  [[maybe_unused]] volatile uint8_t last = 0;
  for (int32_t i = 0; i < 2 * samples.count; ++i) last = samples.data[i];
}

// A heap block of exactly the file's size: the description must not read a
// byte past it.
void CheckDescribing(const uint8_t* data, size_t size) {
  const std::vector<uint8_t> head(data, data + size);
  const auto length = static_cast<int64_t>(size);
  const WaveDescription found = DescribeWave(head.data(), length, length);
  Require(found.riff_wave || (found.format_chunk < 0 && found.data_chunk < 0),
          "no chunk is found in a file that is not RIFF WAVE");
  Require(found.format_chunk < 0 || found.format_chunk + 24 <= length,
          "a fmt chunk's fields lie in the file");
  Require(found.data_chunk < 0 ||
              (found.format_chunk >= 0 && found.format_chunk < found.data_chunk &&
               found.HeaderBytes() <= length),
          "a data chunk follows the fmt chunk and its header lies in the file");
  Require(found.sample_frames >= 0 && found.present_data_bytes >= 0 &&
              found.present_data_bytes <= length,
          "the counts are within the file");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CheckStrict(data, size);
  CheckDescribing(data, size);
  return 0;
}

}  // namespace kelditra
