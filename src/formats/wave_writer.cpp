#include "formats/wave_writer.h"

namespace kelditra {

namespace {

void PutLittle(std::vector<uint8_t>* out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out->push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void PutId(std::vector<uint8_t>* out, const char* id) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<uint8_t>(id[i]));
}

}  // namespace

std::vector<uint8_t> MonoWaveHeader(uint32_t sample_count, uint32_t rate) {
  const uint32_t data_bytes = sample_count * 2;
  std::vector<uint8_t> bytes;
  PutId(&bytes, "RIFF");
  PutLittle(&bytes, 36 + data_bytes, 4);
  PutId(&bytes, "WAVE");
  PutId(&bytes, "fmt ");
  PutLittle(&bytes, 16, 4);
  PutLittle(&bytes, 1, 2);  // PCM
  PutLittle(&bytes, 1, 2);  // mono
  PutLittle(&bytes, rate, 4);
  PutLittle(&bytes, rate * 2, 4);
  PutLittle(&bytes, 2, 2);
  PutLittle(&bytes, 16, 2);
  PutId(&bytes, "data");
  PutLittle(&bytes, data_bytes, 4);
  return bytes;
}

std::vector<uint8_t> MonoWaveBytes(const std::vector<int16_t>& samples, uint32_t rate) {
  std::vector<uint8_t> bytes = MonoWaveHeader(static_cast<uint32_t>(samples.size()), rate);
  bytes.reserve(bytes.size() + samples.size() * 2);
  for (int16_t sample : samples) PutLittle(&bytes, static_cast<uint16_t>(sample), 2);
  return bytes;
}

}  // namespace kelditra
