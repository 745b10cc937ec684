#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "job_fixtures.h"
#include "test_support.h"

namespace {

class CommandLine : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::copy_file(LiveTablePath(), folder_ / "fm_table2.dat");
    ASSERT_TRUE(WriteMonoWave(folder_ / "good.wav", HarmonicSound(5, 220, {5000})));
    ASSERT_TRUE(WritePitchTrack(folder_ / "good.dat", std::vector<uint16_t>(5, 220)));
    ASSERT_TRUE(WriteBytes(folder_ / "bad.wav", std::vector<uint8_t>(64, 'z')));
    ASSERT_TRUE(WriteBytes(folder_ / "bad.dat", {}));
  }

  ProcessResult Run(const std::vector<std::string>& arguments) {
    return RunProcess(KelditraPath(), arguments, folder_.path());
  }

  ScratchFolder folder_;
};

TEST_F(CommandLine, OneOutcomeLinePerFileAndTheExitStatus) {
  const struct {
    std::vector<std::string> arguments;
    std::string out;
    int status;
  } cases[] = {
      {{"good.wav"}, std::string("good.wav: ") + utf8::kFinished + "\n", 0},
      {{"--quiet", "good.wav  "}, std::string("good.wav  : ") + utf8::kFinished + "\n", 0},
      {{"--table", "none.dat", "good.wav"},
       std::string("good.wav: none.dat") + utf8::kFileNotFoundSuffix + "\n", 1},
      {{"bad.wav", "good.wav"},
       std::string("bad.wav: ") + utf8::kUnsupportedWave + "\ngood.wav: " + utf8::kFinished + "\n",
       1},
      {{"--", "--odd.wav"},
       std::string("--odd.wav: --odd.dat") + utf8::kFileNotFoundSuffix + "\n", 1},
  };
  for (const auto& c : cases) {
    const ProcessResult result = Run(c.arguments);
    EXPECT_EQ(result.out, c.out) << c.arguments.front();
    EXPECT_EQ(result.status, c.status) << c.arguments.front();
    // Not a terminal: no progress bar.
    EXPECT_EQ(result.err, "") << c.arguments.front();
  }
  EXPECT_EQ(ReadBytes(folder_ / "good.bin").size(), 5u * 16);
}

TEST_F(CommandLine, TheDefaultTableIsTheOneInTheCurrentFolder) {
  std::filesystem::remove(folder_ / "fm_table2.dat");
  const ProcessResult result = Run({"good.wav"});
  EXPECT_EQ(result.out, std::string("good.wav: fm_table2.dat") + utf8::kFileNotFoundSuffix + "\n");
  EXPECT_EQ(result.status, 1);
}

TEST_F(CommandLine, UsageErrorsAndInformation) {
  const struct {
    std::vector<std::string> arguments;
    int status;
    const char* out_contains;
    const char* err_contains;
  } cases[] = {
      {{}, 2, "", "usage:"},
      {{"--bogus", "good.wav"}, 2, "", "unknown option --bogus"},
      {{"--table"}, 2, "", "--table needs a path"},
      {{"--help"}, 0, "usage:", ""},
      {{"--version"}, 0, "kelditra ", ""},
  };
  for (const auto& c : cases) {
    const ProcessResult result = Run(c.arguments);
    EXPECT_EQ(result.status, c.status);
    EXPECT_NE(result.out.find(c.out_contains), std::string::npos) << result.out;
    EXPECT_NE(result.err.find(c.err_contains), std::string::npos) << result.err;
  }
  EXPECT_FALSE(std::filesystem::exists(folder_ / "good.bin"));
}

TEST_F(CommandLine, CtrlCStopsTheRunningJobAndWritesNothing) {
  // The plain search over a table of all-zero entries, none skipped, costs
  // tens of milliseconds a frame on any machine: a few thousand frames take
  // minutes, so the job is still running when the interrupt sent at its first
  // progress tick arrives.
  ASSERT_TRUE(WriteVoiceTable(folder_ / "fm_table2.dat", [](int32_t) { return RawEntry(128, 0); }));
  ASSERT_TRUE(WriteMonoWave(folder_ / "long.wav", HarmonicSound(3000, 220, {5000})));
  ASSERT_TRUE(WritePitchTrack(folder_ / "long.dat", std::vector<uint16_t>(3000, 220)));
  ASSERT_TRUE(WriteBytes(folder_ / "long.bin", {4, 2}));

  const ProcessResult result = RunInterruptedAtFirstTick(
      KelditraPath(), {"--reference", "long.wav", "good.wav"}, folder_.path());
  EXPECT_EQ(result.out, std::string("long.wav: ") + utf8::kCancelled + "\n") << result.err;
  EXPECT_NE(result.err.find('%'), std::string::npos) << "no progress bar on the terminal";
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(ReadBytes(folder_ / "long.bin"), (std::vector<uint8_t>{4, 2}));
  EXPECT_FALSE(std::filesystem::exists(folder_ / "good.bin"));
}

}  // namespace
