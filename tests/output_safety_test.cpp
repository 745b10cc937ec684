// A parameter file is replaced whole or not at all: a write that fails half
// way, on a disk that is really full or past a real file-size limit, keeps
// the earlier output and leaves no stray file beside it.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "io/whole_file.h"
#include "job_fixtures.h"
#include "test_support.h"

namespace {

std::set<std::string> NamesIn(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

// A sound of 300 frames: its 4800-byte output needs more than the one page
// that the earlier output holds, so writing over it in place could not
// succeed either.
constexpr int kFrames = 300;
const std::vector<uint8_t> kEarlierOutput(16, 0x5A);

class OutputSafety : public ::testing::Test {
 protected:
  static void WriteInputs(const std::string& folder) {
    ASSERT_TRUE(WriteMonoWave(folder + "/take.wav", HarmonicSound(kFrames, 220, {5000})));
    ASSERT_TRUE(WritePitchTrack(folder + "/take.dat", std::vector<uint16_t>(kFrames, 220)));
    ASSERT_TRUE(WriteBytes(folder + "/take.bin", kEarlierOutput));
  }

  // kelditra on folder/take.wav, through sh so that a limit can be set first.
  static ProcessResult Convert(const std::string& folder, const std::string& before = "") {
    const std::string command = before + "exec \"$0\" --quiet --table \"$1\" \"$2\"";
    return RunProcess("/bin/sh", {"-c", command, KelditraPath(), LiveTablePath(),
                                  folder + "/take.wav"});
  }

  static void ExpectEarlierOutputKept(const std::string& folder, const ProcessResult& result,
                                      const std::set<std::string>& names) {
    EXPECT_EQ(result.out, folder + "/take.wav: " + utf8::kWriteFailed + "\n");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(ReadBytes(folder + "/take.bin"), kEarlierOutput);
    EXPECT_EQ(NamesIn(folder), names);
  }

  ScratchFolder folder_;
};

TEST_F(OutputSafety, AFullDiskKeepsTheEarlierOutputWhole) {
  // A small file system of its own, taken down before its folder is removed.
  const std::string disk = folder_ / "disk";
  std::filesystem::create_directory(disk);
  if (mount("kelditra-test", disk.c_str(), "tmpfs", 0, "size=512k") != 0) {
    GTEST_SKIP() << "no tmpfs here (" << std::strerror(errno)
                 << "); the file-size limit test stands in for it";
  }
  const std::unique_ptr<const char, void (*)(const char*)> unmount(
      disk.c_str(), [](const char* at) { umount2(at, MNT_DETACH); });
  WriteInputs(disk);
  std::FILE* filler = std::fopen((disk + "/filler").c_str(), "wb");
  ASSERT_NE(filler, nullptr);
  const std::vector<char> chunk(4096, 'f');
  while (std::fwrite(chunk.data(), 1, chunk.size(), filler) == chunk.size()) {
  }
  ASSERT_EQ(errno, ENOSPC);
  std::fclose(filler);

  ExpectEarlierOutputKept(disk, Convert(disk), {"filler", "take.bin", "take.dat", "take.wav"});

  // With room again the same file system takes the whole new output.
  std::filesystem::remove(disk + "/filler");
  const ProcessResult again = Convert(disk);
  EXPECT_EQ(again.out, disk + "/take.wav: " + utf8::kFinished + "\n");
  EXPECT_EQ(ReadBytes(disk + "/take.bin").size(), 16u * kFrames);
  EXPECT_EQ(NamesIn(disk), (std::set<std::string>{"take.bin", "take.dat", "take.wav"}));
}

TEST_F(OutputSafety, AFileSizeLimitHitHalfWayKeepsTheEarlierOutputWhole) {
  // 1 KiB at most per file, and the signal ignored, so the write comes back
  // short and then fails, as on a full disk.
  WriteInputs(folder_.path());
  ExpectEarlierOutputKept(folder_.path(), Convert(folder_.path(), "ulimit -f 2; trap '' XFSZ; "),
                          {"take.bin", "take.dat", "take.wav"});
}

TEST(SaveFile, TheReplacementKeepsTheOldFilesPermissions) {
  ScratchFolder folder;
  const std::string path = folder / "out.bin";
  ASSERT_TRUE(WriteBytes(path, {1}));
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  ASSERT_EQ(SaveFile("new", 3, path), 0);
  struct stat info;
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_EQ(ReadBytes(path), (std::vector<uint8_t>{'n', 'e', 'w'}));
}

TEST(SaveFile, PathsNearTheLimitGetTemporaryNamesWithinIt) {
  // Deep folders, so that a 259-byte path ends in a short name and leaves
  // the temporary name almost no room.
  ScratchFolder scratch;
  for (size_t name_length : {4u, 5u, 9u, 10u, 20u}) {
    std::string folder = scratch.path();
    const size_t folder_length = 258 - name_length;
    while (folder.size() < folder_length) {
      size_t segment = std::min<size_t>(100, folder_length - folder.size() - 1);
      if (folder_length - folder.size() - 1 - segment == 1) --segment;  // no empty name next
      folder.append("/").append(segment, 'd');
      std::filesystem::create_directories(folder);
    }
    const std::string path = folder + "/" + std::string(name_length - 4, 'n') + ".bin";
    ASSERT_EQ(path.size(), 259u);
    EXPECT_EQ(SaveFile("abc", 3, path), 0) << name_length;
    EXPECT_EQ(ReadBytes(path), (std::vector<uint8_t>{'a', 'b', 'c'})) << name_length;
    EXPECT_EQ(NamesIn(folder).size(), 1u) << name_length;
  }
}

TEST(SaveFile, WritersInManyProcessesNeverShareATemporaryFile) {
  ScratchFolder folder;
  // A save before the fork: every child starts from the same generator state.
  ASSERT_EQ(SaveFile("p", 1, folder / "parent.bin"), 0);

  constexpr int kWriters = 4;
  constexpr int kSaves = 150;
  std::vector<pid_t> children;
  for (int writer = 0; writer < kWriters; ++writer) {
    const pid_t child = fork();
    if (child == 0) {
      const std::string path = folder / ("writer" + std::to_string(writer) + ".bin");
      for (int save = 0; save < kSaves; ++save) {
        const std::string content = std::to_string(writer) + ":" + std::to_string(save);
        if (SaveFile(content.data(), static_cast<uint32_t>(content.size()), path) != 0) _exit(1);
        const std::vector<uint8_t> back = ReadBytes(path);
        if (std::string(back.begin(), back.end()) != content) _exit(2);
      }
      _exit(0);
    }
    children.push_back(child);
  }
  for (pid_t child : children) {
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
  EXPECT_EQ(NamesIn(folder.path()), (std::set<std::string>{"parent.bin", "writer0.bin",
                                                            "writer1.bin", "writer2.bin",
                                                            "writer3.bin"}));
}

}  // namespace
