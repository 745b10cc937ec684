#include "io/whole_file.h"

#include <cstring>

#include "io/platform_file.h"
#include "io/pool.h"
#include "resources/messages.h"

namespace {

// The length is a signed 32-bit count; a larger file cannot be held.
constexpr int64_t kLargestLoadableFile = INT32_MAX;

}  // namespace

std::string LoadFile(const std::string& path, uint32_t extra, uint8_t** block, int32_t* length) {
  PlatformFile file;
  switch (OpenForReading(path.c_str(), &file)) {
    case OpenStatus::kOpened:
      break;
    case OpenStatus::kNotFound:
      return path + MessageText(MessageId::kFileNotFoundSuffix);
    case OpenStatus::kFailed:
      return MessageText(MessageId::kCannotOpen);
  }

  const int64_t file_length = LengthOf(file);
  if (file_length < 0 || file_length > kLargestLoadableFile - static_cast<int64_t>(extra)) {
    CloseFile(file);
    return MessageText(MessageId::kNoMemory);
  }
  *length = static_cast<int32_t>(file_length);

  auto* bytes = static_cast<uint8_t*>(PoolAlloc(static_cast<uint32_t>(file_length) + extra));
  *block = bytes;
  if (bytes == nullptr) {
    CloseFile(file);
    return MessageText(MessageId::kNoMemory);
  }

  std::string message;
  const int64_t got = ReadFrom(file, bytes, static_cast<uint32_t>(file_length));
  if (got != file_length) message = MessageText(MessageId::kReadError);
  CloseFile(file);

  // A short read still leaves no stale pool memory for a reader to trip over.
  const int64_t filled = got < 0 ? 0 : got;
  std::memset(bytes + filled, 0, static_cast<size_t>(file_length - filled + extra));
  return message;
}

int SaveFile(const void* block, uint32_t count, const std::string& path) {
  PlatformFile file;
  if (!CreateForWriting(path.c_str(), &file)) return 1;
  const bool written = WriteTo(file, block, count);
  const bool closed = CloseFile(file);
  return written && closed ? 0 : 1;
}
