// The preview of any bytes as a parameter file, against one voice table made
// and prepared once per process, so an input costs only its own records.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "analysis/frame_spectra.h"
#include "formats/byte_order.h"
#include "formats/parameter_file.h"
#include "formats/voice_table.h"
#include "fuzz_checks.h"
#include "preview/preview_file.h"

namespace kelditra {

namespace {

// Every entry sounds a few quiet components, so any voice index plays something;
// the first and the last hold the largest value on every bin, so that their
// products with the largest gain are as large as they can be.
const uint8_t* PreparedTable() {
  static std::vector<uint8_t> table = [] {
    std::vector<uint8_t> raw(kVoiceTableBytes, 0);
    for (int32_t voice = 0; voice < kVoiceCount; ++voice) {
      uint8_t* entry = raw.data() + int64_t{voice} * kRawEntryBins * 2;
      const bool loudest = voice == 0 || voice == kVoiceCount - 1;
      const auto value = static_cast<uint16_t>(loudest ? 65535 : 1000 + voice % 3000);
      for (int32_t bin = 0; bin < kRawEntryBins; ++bin) {
        const bool sounding = loudest || bin == 2 || bin == 2 * (2 + voice % 60);
        if (sounding) WriteLittle16(entry + 2 * bin, value);
      }
    }
    std::vector<uint8_t> skip_flags(kVoiceCount);
    std::vector<int32_t> entry_sums(kVoiceCount);
    PrepareVoiceTable(raw.data(), skip_flags.data(), entry_sums.data());
    return raw;
  }();
  return table.data();
}

// Whether every field of every whole record lies in its stated range.
bool Soundable(const uint8_t* data, size_t size) {
  if (size % 16 != 0 || size / 16 > static_cast<size_t>(kRecordCapacity)) return false;
  // Voice / 16, frequency, gain, voice % 16: each from 0 to its most.
  constexpr int32_t kMost[4] = {kVoiceCount / 16 - 1, 131070, 65535, 15};
  for (size_t offset = 0; offset < size; offset += 4) {
    const auto field = static_cast<int32_t>(ReadLittle32(data + offset));
    if (field < 0 || field > kMost[offset / 4 % 4]) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  PreparedTable();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<uint8_t> wave;
  int64_t clipped = -1;
  const Failure refusal =
      PreviewWaveBytes(data, static_cast<int32_t>(size), PreparedTable(), &wave, &clipped);

  Require(!refusal == Soundable(data, size),
          "exactly the files with a field out of range are refused");
  if (refusal) {
    Require(refusal.kind == FailureKind::kBadParameterFile, "a refusal says the records are bad");
    Require(wave.empty() && clipped == 0, "a refused file gets no samples");
    return 0;
  }
  const size_t samples = size / 16 * kFrameLength;
  Require(wave.size() == 44 + 2 * samples, "735 samples per record after the header");
  Require(std::memcmp(wave.data(), "RIFF", 4) == 0, "the preview is a WAV file");
  Require(clipped >= 0 && static_cast<size_t>(clipped) <= samples,
          "no more samples clipped than there are");
  return 0;
}

}  // namespace kelditra
