#include "io/platform_file.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>  // renameat2
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace kelditra {

namespace {

bool FolderOfPathExists(const char* path) {
  const char* last_slash = std::strrchr(path, '/');
  std::string folder = ".";
  if (last_slash == path) {
    folder = "/";
  } else if (last_slash != nullptr) {
    folder.assign(path, static_cast<size_t>(last_slash - path));
  }
  struct stat info;
  return stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

int Descriptor(PlatformFile file) { return static_cast<int>(file.handle); }

}  // namespace

OpenStatus OpenForReading(const char* path, PlatformFile* file, FileProblem* problem) {
  FileProblem ignored;
  if (problem == nullptr) problem = &ignored;
  if (std::strlen(path) >= kMaxPathBytes) {
    *problem = {FileProblemKind::kPathTooLong, 0};
    return OpenStatus::kFailed;
  }

  // O_NONBLOCK keeps a FIFO without a writer from hanging the open; anything
  // but a regular file is refused right after.
  const int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    if (error == ENOENT) {
      if (FolderOfPathExists(path)) return OpenStatus::kNotFound;
      *problem = {FileProblemKind::kMissingFolder, 0};
    } else {
      *problem = {FileProblemKind::kSystem, error};
    }
    return OpenStatus::kFailed;
  }
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    *problem = {FileProblemKind::kNotRegularFile, 0};
    close(fd);
    return OpenStatus::kFailed;
  }
  const int flags = fcntl(fd, F_GETFL);
  fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  file->handle = fd;
  return OpenStatus::kOpened;
}

int64_t LengthOf(PlatformFile file) {
  struct stat info;
  if (fstat(Descriptor(file), &info) != 0) return -1;
  return static_cast<int64_t>(info.st_size);
}

int64_t ReadFrom(PlatformFile file, void* buffer, uint32_t count) {
  // One request as far as the caller is concerned; read() may hand a large
  // file over in pieces.
  auto* bytes = static_cast<unsigned char*>(buffer);
  uint32_t done = 0;
  while (done < count) {
    const ssize_t got = read(Descriptor(file), bytes + done, count - done);
    if (got < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (got == 0) break;
    done += static_cast<uint32_t>(got);
  }
  return done;
}

FileProblem ReplacementProblem(const char* path) {
  if (std::strlen(path) >= kMaxPathBytes) return {FileProblemKind::kPathTooLong, 0};
  struct stat info;
  if (stat(path, &info) != 0) {
    if (errno == ENOENT) return {};
    if (errno == ENOTDIR) return {FileProblemKind::kMissingFolder, 0};
    return {FileProblemKind::kSystem, errno};
  }
  if (!S_ISREG(info.st_mode)) return {FileProblemKind::kNotRegularFile, 0};
  // Root could write a file that has no write bits; it is read-only all the
  // same, as it is for everyone on Windows.
  if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return {FileProblemKind::kReadOnly, 0};
  return {};
}

CreateStatus CreateNewForWriting(const char* path, PlatformFile* file, FileProblem* problem) {
  if (std::strlen(path) >= kMaxPathBytes) {
    *problem = {FileProblemKind::kPathTooLong, 0};
    return CreateStatus::kFailed;
  }
  // O_EXCL also refuses a symbolic link of that name, dangling or not, so the
  // bytes go nowhere but into a new file.
  const int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) {
    const int error = errno;
    if (error == EEXIST) return CreateStatus::kExists;
    *problem = error == ENOENT || error == ENOTDIR ? FileProblem{FileProblemKind::kMissingFolder, 0}
                               : FileProblem{FileProblemKind::kSystem, error};
    return CreateStatus::kFailed;
  }
  file->handle = fd;
  return CreateStatus::kCreated;
}

bool WriteTo(PlatformFile file, const void* buffer, uint32_t count) {
  const auto* bytes = static_cast<const unsigned char*>(buffer);
  uint32_t done = 0;
  while (done < count) {
    const ssize_t put = write(Descriptor(file), bytes + done, count - done);
    if (put < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (put == 0) return false;
    done += static_cast<uint32_t>(put);
  }
  return true;
}

bool FlushToDisk(PlatformFile file) {
  while (fsync(Descriptor(file)) != 0) {
    if (errno != EINTR) return false;
  }
  return true;
}

bool CloseFile(PlatformFile file) { return close(Descriptor(file)) == 0; }

bool MoveOver(const char* from, const char* to) {
  struct stat info;
  if (stat(to, &info) == 0 && chmod(from, info.st_mode & 07777) != 0) return false;
  return rename(from, to) == 0;
}

CreateStatus MoveToFreeName(const char* from, const char* to) {
  if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) == 0) return CreateStatus::kCreated;
  if (errno == EEXIST) return CreateStatus::kExists;
  // File systems that cannot rename without replacing may still link, which
  // never replaces either.
  if (errno == EINVAL || errno == ENOSYS) {
    if (link(from, to) == 0) {
      unlink(from);
      return CreateStatus::kCreated;
    }
    if (errno == EEXIST) return CreateStatus::kExists;
  }
  return CreateStatus::kFailed;
}

bool RemoveFile(const char* path) { return unlink(path) == 0; }

uint32_t ProcessId() { return static_cast<uint32_t>(getpid()); }

bool IdentityOf(const char* path, FileIdentity* identity) {
  struct stat info;
  if (std::strlen(path) >= kMaxPathBytes || stat(path, &info) != 0 || !S_ISREG(info.st_mode)) {
    return false;
  }
  identity->device = static_cast<uint64_t>(info.st_dev);
  identity->inode = static_cast<uint64_t>(info.st_ino);
  identity->size = static_cast<int64_t>(info.st_size);
  identity->modified_ns = static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
  return true;
}

namespace {

// Only advice: the kernel may or may not back the block with large pages.
void AdviseLargePages(void* block, size_t size) {
#ifdef MADV_HUGEPAGE
  constexpr uintptr_t kPage = 4096;
  constexpr size_t kWorthAdvising = size_t{4} << 20;
  if (size < kWorthAdvising) return;
  const uintptr_t start = (reinterpret_cast<uintptr_t>(block) + kPage - 1) & ~(kPage - 1);
  const uintptr_t end = (reinterpret_cast<uintptr_t>(block) + size) & ~(kPage - 1);
  madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
#else
  (void)block;
  (void)size;
#endif
}

}  // namespace

void* AllocateFixed(uint32_t size) {
  void* block = std::malloc(size);
  if (block != nullptr) AdviseLargePages(block, size);
  return block;
}

void FreeFixed(void* block) { std::free(block); }

void* AllocateLarge(size_t size) {
  void* block = std::malloc(size);
  if (block != nullptr) AdviseLargePages(block, size);
  return block;
}

void FreeLarge(void* block) { std::free(block); }

}  // namespace kelditra
