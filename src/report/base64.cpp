#include "report/base64.h"

namespace kelditra {

std::string Base64(const uint8_t* bytes, size_t count) {
  static constexpr char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string text;
  text.reserve((count + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 3 <= count; i += 3) {
    const uint32_t group = uint32_t{bytes[i]} << 16 | uint32_t{bytes[i + 1]} << 8 | bytes[i + 2];
    for (int shift = 18; shift >= 0; shift -= 6) text += kDigits[(group >> shift) & 63];
  }
  const size_t left = count - i;
  if (left > 0) {
    const uint32_t group = uint32_t{bytes[i]} << 16 | (left == 2 ? uint32_t{bytes[i + 1]} << 8 : 0);
    text += kDigits[(group >> 18) & 63];
    text += kDigits[(group >> 12) & 63];
    text += left == 2 ? kDigits[(group >> 6) & 63] : '=';
    text += '=';
  }
  return text;
}

}  // namespace kelditra
