#include "io/file_problem.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "io/platform_file.h"

namespace {

FileProblem SystemProblem(int error) { return {FileProblemKind::kSystem, std::strerror(error)}; }

}  // namespace

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of(kFolderSeparators);
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool IsFolder(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

FileProblem ProbeReading(const std::string& path) {
  if (path.size() >= kMaxPathBytes) return {FileProblemKind::kPathTooLong, {}};
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    if (error == ENOENT) {
      return {IsFolder(FolderOf(path)) ? FileProblemKind::kMissing : FileProblemKind::kMissingFolder,
              {}};
    }
    return SystemProblem(error);
  }
  struct stat info;
  const bool regular = fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  close(fd);
  return regular ? FileProblem{} : FileProblem{FileProblemKind::kNotRegularFile, {}};
}

FileProblem ProbeWriting(const std::string& path) {
  if (path.size() >= kMaxPathBytes) return {FileProblemKind::kPathTooLong, {}};
  struct stat info;
  if (stat(path.c_str(), &info) == 0) {
    if (!S_ISREG(info.st_mode)) return {FileProblemKind::kNotRegularFile, {}};
    if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return {FileProblemKind::kReadOnly, {}};
  }
  const std::string folder = FolderOf(path);
  if (!IsFolder(folder)) return {FileProblemKind::kMissingFolder, {}};
  const std::string trial = folder + "/~kelditra-" + std::to_string(getpid()) + ".tmp";
  const int fd = open(trial.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return SystemProblem(errno);
  close(fd);
  unlink(trial.c_str());
  return {};
}
