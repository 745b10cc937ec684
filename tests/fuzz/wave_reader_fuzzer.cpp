// ReadWave over any bytes, in a block laid out as the loader leaves it.
#include <sanitizer/asan_interface.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "formats/wave_reader.h"
#include "fuzz_checks.h"
#include "resources/messages.h"

namespace {

// The header search may read this far past the file into the loader's zero
// bytes. The rest of them are poisoned, so a reader that strays further is
// caught even though the zeros would have hidden it.
constexpr size_t kHeaderOverreach = 23;

bool IsRefusal(const std::string& message) {
  return message == MessageText(MessageId::kUnsupportedWave) ||
         message == MessageText(MessageId::kBadDataLength) ||
         message == MessageText(MessageId::kNot44100Hz) ||
         message == MessageText(MessageId::kNotMono16Bit);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> block(size + kWaveExtraBytes, 0);
  if (size > 0) std::memcpy(block.data(), data, size);
  uint8_t* const poisoned = block.data() + size + kHeaderOverreach;
  ASAN_POISON_MEMORY_REGION(poisoned, kWaveExtraBytes - kHeaderOverreach);

  WaveSamples samples;
  const std::string message = ReadWave(block.data(), static_cast<int32_t>(size), &samples);

  ASAN_UNPOISON_MEMORY_REGION(poisoned, kWaveExtraBytes - kHeaderOverreach);
  Require(size == 0 || std::memcmp(block.data(), data, size) == 0, "the block is left as it was");
  if (!message.empty()) {
    Require(IsRefusal(message), "a refusal is one of the reader's four texts");
    return 0;
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
  return 0;
}
