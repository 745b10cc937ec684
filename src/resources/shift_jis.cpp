#include "resources/messages.h"

#ifdef _WIN32
#include <windows.h>

namespace kelditra {

std::string ShiftJisToUtf8(const std::string& shift_jis) {
  if (shift_jis.empty()) return {};
  const int wide_length = MultiByteToWideChar(932, 0, shift_jis.data(),
                                              static_cast<int>(shift_jis.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(wide_length), L'\0');
  MultiByteToWideChar(932, 0, shift_jis.data(), static_cast<int>(shift_jis.size()), wide.data(),
                      wide_length);
  const int utf8_length =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), wide_length, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(utf8_length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), wide_length, utf8.data(), utf8_length, nullptr,
                      nullptr);
  return utf8;
}

std::string Utf8ToShiftJis(const std::string& utf8) {
  constexpr UINT kShiftJis = 932;
  std::wstring wide(utf8.size(), L'\0');
  wide.resize(static_cast<size_t>(MultiByteToWideChar(
      CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(),
      static_cast<int>(wide.size()))));
  std::string shift_jis;
  for (size_t i = 0; i < wide.size();) {
    // One character at a time, a surrogate pair whole, each kept only when it
    // comes back from code page 932 as itself: the system's own conversion
    // would put a look-alike for what the code page lacks.
    const size_t units = IS_HIGH_SURROGATE(wide[i]) && i + 1 < wide.size() ? 2 : 1;
    char bytes[8];
    const int length = WideCharToMultiByte(kShiftJis, WC_NO_BEST_FIT_CHARS, &wide[i],
                                           static_cast<int>(units), bytes, sizeof bytes, nullptr,
                                           nullptr);
    wchar_t back[4];
    const int back_length = length > 0 ? MultiByteToWideChar(kShiftJis, MB_ERR_INVALID_CHARS,
                                                             bytes, length, back, 4)
                                       : 0;
    const bool same = back_length == static_cast<int>(units) &&
                      std::wstring(back, units) == wide.substr(i, units);
    shift_jis += same ? std::string(bytes, static_cast<size_t>(length)) : std::string("?");
    i += units;
  }
  return shift_jis;
}

}  // namespace kelditra

#else
#include <errno.h>
#include <iconv.h>

namespace kelditra {

std::string ShiftJisToUtf8(const std::string& shift_jis) {
  iconv_t converter = iconv_open("UTF-8", "CP932");
  if (converter == reinterpret_cast<iconv_t>(-1)) return shift_jis;

  std::string utf8;
  char buffer[256];
  char* in = const_cast<char*>(shift_jis.data());
  size_t in_left = shift_jis.size();
  while (in_left > 0) {
    char* out = buffer;
    size_t out_left = sizeof buffer;
    const size_t result = iconv(converter, &in, &in_left, &out, &out_left);
    utf8.append(buffer, static_cast<size_t>(out - buffer));
    if (result == static_cast<size_t>(-1) && errno != E2BIG) {
      // Broken or truncated sequence: mark it and step over one byte.
      utf8 += "\xEF\xBF\xBD";
      ++in;
      --in_left;
    }
  }
  iconv_close(converter);
  return utf8;
}

}  // namespace kelditra
#endif
