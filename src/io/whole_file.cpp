#include "io/whole_file.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "io/platform_file.h"
#include "io/pool.h"

namespace kelditra {

namespace {

// The length is a signed 32-bit count; a larger file cannot be held.
constexpr int64_t kLargestLoadableFile = INT32_MAX;

// Names are drawn anew while they turn out to be taken: by another
// process's output under way, or by a file left behind by one that died.
constexpr int kTemporaryNameAttempts = 100;

// A name in the folder of path for the file that will replace it: "~",
// random letters and digits, ".tmp". It never ends in an output's extension,
// so a file left behind by a crash is not taken for output, and its name is
// at most 16 bytes and never takes the whole path past the platform's limit.
std::string TemporaryNameBeside(const std::string& path, int attempt) {
  // Seeded from the process, the clock and the attempt, so that two writers
  // do not draw the same names in step, and a retry draws a new one.
  uint64_t state = uint64_t{ProcessId()} << 32;
  state ^= static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  state ^= reinterpret_cast<uintptr_t>(&state);
  state += static_cast<uint64_t>(attempt) * 0xD1B54A32D192ED03u;

  const size_t name_start = path.find_last_of(kFolderSeparators) + 1;  // npos + 1 == 0
  // At least the "~": a path that ends in a separator right at the limit
  // leaves no room, and then the create is refused for the path's length.
  const size_t name_length = std::clamp<size_t>(kMaxPathBytes - 1 - name_start, 1, 16);
  const bool with_extension = name_length >= 10;
  const size_t random_length = name_length - 1 - (with_extension ? 4 : 0);

  std::string name = path.substr(0, name_start) + "~";
  for (size_t i = 0; i < random_length; ++i) {
    // splitmix64: cheap, and well spread from any seed.
    state += 0x9E3779B97F4A7C15u;
    uint64_t z = state;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
    z ^= z >> 31;
    name += "0123456789abcdefghijklmnopqrstuvwxyz"[z % 36];
  }
  if (with_extension) name += ".tmp";
  return name;
}

}  // namespace

Failure LoadFile(const std::string& path, uint32_t extra, uint8_t** block, int32_t* length) {
  PlatformFile file;
  FileProblem problem;
  switch (OpenForReading(path.c_str(), &file, &problem)) {
    case OpenStatus::kOpened:
      break;
    case OpenStatus::kNotFound:
      return FileFailure(FailureKind::kNotFound, path);
    case OpenStatus::kFailed:
      return FileFailure(FailureKind::kCannotOpen, path, problem.kind, problem.system_error);
  }

  Failure failure = FileFailure(FailureKind::kNone, path);
  failure.file_length = LengthOf(file);
  if (failure.file_length < 0 ||
      failure.file_length > kLargestLoadableFile - static_cast<int64_t>(extra)) {
    CloseFile(file);
    failure.kind = FailureKind::kNoMemory;
    return failure;
  }
  const int64_t file_length = failure.file_length;
  *length = static_cast<int32_t>(file_length);

  auto* bytes = static_cast<uint8_t*>(PoolAlloc(static_cast<uint32_t>(file_length) + extra));
  *block = bytes;
  if (bytes == nullptr) {
    CloseFile(file);
    failure.kind = FailureKind::kNoMemory;
    return failure;
  }

  const int64_t got = ReadFrom(file, bytes, static_cast<uint32_t>(file_length));
  CloseFile(file);

  // A short read still leaves no stale pool memory for a reader to trip over.
  const int64_t filled = got < 0 ? 0 : got;
  std::memset(bytes + filled, 0, static_cast<size_t>(file_length - filled + extra));
  if (got != file_length) {
    failure.kind = FailureKind::kReadError;
    return failure;
  }
  return {};
}

namespace {

// A new file beside path under a name nothing holds yet; kExists when every
// name drawn was taken.
CreateStatus CreateTemporaryBeside(const std::string& path, PlatformFile* file,
                                   std::string* temporary, FileProblem* problem) {
  CreateStatus created = CreateStatus::kExists;
  for (int attempt = 0; attempt < kTemporaryNameAttempts && created == CreateStatus::kExists;
       ++attempt) {
    *temporary = TemporaryNameBeside(path, attempt);
    created = CreateNewForWriting(temporary->c_str(), file, problem);
  }
  return created;
}

}  // namespace

Failure SaveFile(const void* block, uint32_t count, const std::string& path) {
  const auto refused = [&path](FileProblem problem) {
    return InRole(
        FileFailure(FailureKind::kWriteFailed, path, problem.kind, problem.system_error),
        FileRole::kOutput);
  };
  // The old file stays whole until the new one is complete on disk: the
  // bytes go to a new file beside it, which then takes its place in one
  // step. A full disk or a device error leaves the previous output as it was.
  if (path.size() >= kMaxPathBytes) return refused({FileProblemKind::kPathTooLong, 0});
  if (const FileProblem problem = ReplacementProblem(path.c_str());
      problem.kind != FileProblemKind::kNone) {
    return refused(problem);
  }

  PlatformFile file;
  std::string temporary;
  FileProblem problem;
  const CreateStatus created = CreateTemporaryBeside(path, &file, &temporary, &problem);
  // Every name drawn was taken: the folder takes files, but not this one.
  if (created == CreateStatus::kExists) return refused({FileProblemKind::kWriteIncomplete, 0});
  if (created != CreateStatus::kCreated) return refused(problem);

  const bool written = WriteTo(file, block, count) && FlushToDisk(file);
  const bool closed = CloseFile(file);
  if (!written || !closed || !MoveOver(temporary.c_str(), path.c_str())) {
    RemoveFile(temporary.c_str());
    return refused({FileProblemKind::kWriteIncomplete, 0});
  }
  return {};
}

NewFileStatus WriteNewFile(const std::string& path,
                           const std::function<bool(const ByteSink&)>& fill,
                           FileProblem* problem) {
  FileProblem ignored;
  if (problem == nullptr) problem = &ignored;
  if (path.size() >= kMaxPathBytes) {
    *problem = {FileProblemKind::kPathTooLong, 0};
    return NewFileStatus::kFailed;
  }
  FileIdentity identity;
  if (IdentityOf(path.c_str(), &identity)) return NewFileStatus::kExists;

  PlatformFile file;
  std::string temporary;
  const CreateStatus created = CreateTemporaryBeside(path, &file, &temporary, problem);
  if (created != CreateStatus::kCreated) {
    if (created == CreateStatus::kExists) *problem = {FileProblemKind::kWriteIncomplete, 0};
    return NewFileStatus::kFailed;
  }

  const bool written =
      fill([&](const void* bytes, uint32_t count) { return WriteTo(file, bytes, count); }) &&
      FlushToDisk(file);
  const bool closed = CloseFile(file);
  const CreateStatus moved = written && closed ? MoveToFreeName(temporary.c_str(), path.c_str())
                                               : CreateStatus::kFailed;
  if (moved != CreateStatus::kCreated) RemoveFile(temporary.c_str());
  if (moved == CreateStatus::kExists) return NewFileStatus::kExists;
  return moved == CreateStatus::kCreated ? NewFileStatus::kWritten : NewFileStatus::kFailed;
}

bool ReadFileHead(const std::string& path, uint32_t max_bytes, std::vector<uint8_t>* head,
                  int64_t* file_length) {
  PlatformFile file;
  if (OpenForReading(path.c_str(), &file) != OpenStatus::kOpened) return false;
  *file_length = LengthOf(file);
  head->resize(static_cast<size_t>(std::clamp<int64_t>(*file_length, 0, max_bytes)));
  const int64_t got =
      head->empty() ? 0 : ReadFrom(file, head->data(), static_cast<uint32_t>(head->size()));
  CloseFile(file);
  if (got < 0 || *file_length < 0) return false;
  head->resize(static_cast<size_t>(got));
  return true;
}

}  // namespace kelditra
