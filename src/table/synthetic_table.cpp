#include "table/synthetic_table.h"

#include "formats/voice_table.h"
#include "table/fm_voice_model.h"

namespace kelditra {

std::vector<uint8_t> SyntheticVoiceTable() {
  const FmVoiceModel model;
  std::vector<uint8_t> bytes(static_cast<size_t>(kVoiceTableBytes));
  uint8_t* out = bytes.data();
  for (int32_t voice = 0; voice < kVoiceCount; ++voice) {
    for (const uint16_t magnitude : model.Entry(voice)) {
      *out++ = static_cast<uint8_t>(magnitude);
      *out++ = static_cast<uint8_t>(magnitude >> 8);
    }
  }
  return bytes;
}

}  // namespace kelditra
