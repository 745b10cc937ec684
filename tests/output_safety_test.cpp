// A file is replaced whole or not at all, with no stray file beside it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "io/whole_file.h"
#include "job_fixtures.h"
#include "test_support.h"

namespace kelditra {

namespace {

std::set<std::string> NamesIn(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

// The replacement takes the old file's permissions; what cannot be created,
// or may not be replaced, is refused, says why, and is left as it was, even
// for root.
TEST(SaveFile, ReplacesWholeAndRefusesWhatItCannotCreate) {
  ScratchFolder folder;
  const std::string path = folder / "out.bin";
  ASSERT_TRUE(WriteBytes(path, std::vector<uint8_t>(100, 0xEE)));
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  EXPECT_FALSE(SaveFile("abc", 3, path));
  EXPECT_EQ(ReadBytes(path), (std::vector<uint8_t>{'a', 'b', 'c'}));
  EXPECT_EQ(std::filesystem::status(path).permissions(), std::filesystem::perms{0640});

  ASSERT_TRUE(WriteBytes(path, {9, 9}));
  ASSERT_EQ(chmod(path.c_str(), 0444), 0);
  const std::string too_long = folder / std::string(259 - folder.path().size(), 'z');  // 260 bytes
  const std::pair<std::string, FileProblemKind> refusals[] = {
      {folder / "no-such-folder/out.bin", FileProblemKind::kMissingFolder},
      {path + "/out.bin", FileProblemKind::kMissingFolder},  // a file on the way
      {folder.path(), FileProblemKind::kNotRegularFile},
      {too_long, FileProblemKind::kPathTooLong},
      {path, FileProblemKind::kReadOnly},
  };
  for (const auto& [refused, problem] : refusals) {
    const Failure failure = SaveFile("abc", 3, refused);
    EXPECT_EQ(failure.kind, FailureKind::kWriteFailed) << refused;
    EXPECT_EQ(failure.problem, problem) << refused;
    EXPECT_EQ(failure.path, refused);
    EXPECT_EQ(failure.role, FileRole::kOutput);
  }
  EXPECT_EQ(ReadBytes(path), (std::vector<uint8_t>{9, 9}));
  EXPECT_EQ(NamesIn(folder.path()), std::set<std::string>{"out.bin"});
}

// Deep folders, so that a 259-byte path ends in a short name and leaves the
// temporary name almost no room.
TEST(SaveFile, PathsNearTheLimitGetTemporaryNamesWithinIt) {
  ScratchFolder scratch;
  for (size_t name_length : {4u, 5u, 9u, 10u, 20u}) {
    const size_t rest = 259 - scratch.path().size() - 3 - name_length;  // less three slashes
    const std::string folder =
        scratch / std::string(rest / 2, 'd') + "/" + std::string(rest - rest / 2, 'e');
    std::filesystem::create_directories(folder);
    const std::string path = folder + "/" + std::string(name_length - 4, 'n') + ".bin";
    ASSERT_EQ(path.size(), 259u);
    EXPECT_FALSE(SaveFile("abc", 3, path)) << name_length;
    EXPECT_EQ(ReadBytes(path), (std::vector<uint8_t>{'a', 'b', 'c'})) << name_length;
    EXPECT_EQ(NamesIn(folder).size(), 1u) << name_length;
  }
}

// Through the program, on a real write failure: a file-size limit of 1 KiB,
// its signal ignored, so that the write comes back short and then fails, as
// on a full disk. The 4800 bytes of 300 frames could not be written in place
// over the one page of the earlier output either.
TEST(OutputSafety, AWriteThatFailsHalfWayKeepsTheEarlierOutputWhole) {
  ScratchFolder folder;
  const std::vector<uint8_t> earlier(16, 0x5A);
  ASSERT_TRUE(WriteMonoWave(folder / "take.wav", HarmonicSound(300, 220, {5000})));
  ASSERT_TRUE(WritePitchTrack(folder / "take.dat", std::vector<uint16_t>(300, 220)));
  ASSERT_TRUE(WriteBytes(folder / "take.bin", earlier));
  const ProcessResult result = RunProcess(
      "/bin/sh", {"-c", "ulimit -f 2; trap '' XFSZ; exec \"$0\" --quiet --table \"$1\" \"$2\"",
                  KelditraPath(), LiveTablePath(), folder / "take.wav"});
  EXPECT_EQ(result.out, folder / "take.wav: " + utf8::kWriteFailed + "\n");
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(ReadBytes(folder / "take.bin"), earlier);
  EXPECT_EQ(NamesIn(folder.path()), (std::set<std::string>{"take.bin", "take.dat", "take.wav"}));
}

}  // namespace

}  // namespace kelditra
