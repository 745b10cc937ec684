#pragma once

#include <string>

namespace kelditra {

// Every text the program shows a user. The Shift-JIS bytes are the stored form;
// MessageText hands them out as UTF-8, the encoding of every path and text
// inside the program, so that a path built into a message shares one encoding
// with the words around it. The Windows program turns a message back into
// code page 932 where it shows it.
enum class MessageId {
  kNoPerformanceCounter,
  kNotWaveFile,
  kFileNotFoundSuffix,
  kCannotOpen,
  kNoMemory,
  kReadError,
  kUnsupportedWave,
  kBadDataLength,
  kNot44100Hz,
  kNotMono16Bit,
  kCancelled,
  kWriteFailed,
  kFinished,
  kBadVoiceTableSize,
  kWaveTooLong,
  kProgressPrefix,
};

inline constexpr int kMessageCount = static_cast<int>(MessageId::kProgressPrefix) + 1;

// The stored Shift-JIS bytes, whatever the platform.
const char* ShiftJisText(MessageId id);

// The English text, in ASCII, for readers outside a Japanese locale.
const char* EnglishText(MessageId id);

// The text as UTF-8.
const std::string& MessageText(MessageId id);

// Shift-JIS (code page 932) to UTF-8; an unconvertible sequence becomes U+FFFD.
std::string ShiftJisToUtf8(const std::string& shift_jis);

#ifdef _WIN32
// UTF-8 to code page 932, for the Windows program's boxes and windows. A
// character the code page lacks becomes '?', never a look-alike: shown in a
// path, a look-alike would name another file.
std::string Utf8ToShiftJis(const std::string& utf8);
#endif

}  // namespace kelditra
