#pragma once

#include <string>

// Every text the program shows a user. The Shift-JIS bytes are the stored form;
// MessageText hands out the platform's own encoding of them: the bytes as they
// are on Windows (code page 932), UTF-8 everywhere else, so that a path built
// into a message shares one encoding with the words around it.
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

// The text in the platform's encoding.
const std::string& MessageText(MessageId id);

// Shift-JIS (code page 932) to UTF-8; an unconvertible sequence becomes U+FFFD.
std::string ShiftJisToUtf8(const std::string& shift_jis);
