// One process converting 200 files in a row, good and bad mixed, ends each
// job with nothing held, so what it holds at its exit does not grow with the
// jobs; and every file comes out as it does in a process of its own.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "job_fixtures.h"
#include "test_support.h"

namespace kelditra {

namespace {

constexpr int kFiles = 200;

// kelditra on the live table, its memory limited to a job and a search
// thread's stacks and heaps per core, so that a leak fails it early.
ProcessResult RunMeasured(const std::string& folder, std::vector<std::string> arguments) {
  const uint64_t limit_kib =
      (uint64_t{4} << 20) + (uint64_t{128} << 10) * std::thread::hardware_concurrency();
  const std::string command = "ulimit -v " + std::to_string(limit_kib) + "; exec \"$0\" \"$@\"";
  arguments.insert(arguments.begin(), {"-c", command, KelditraPath(), "--table", LiveTablePath()});
  return RunProcessMeasuringExit("/bin/sh", arguments, folder);
}

// Names that sort in the order of the run.
std::string Stem(int i) { return std::to_string(1000 + i); }

// File i of the mix; most are converted, the rest fail in the ways a
// careless user makes them fail, at every stage of a job.
void MakeFile(const std::string& folder, int i) {
  const std::string base = folder + "/" + Stem(i);
  const int frames = 1 + i % 7;
  const uint16_t fundamental = static_cast<uint16_t>(110 + 13 * i);
  ASSERT_TRUE(WriteMonoWave(base + ".wav", HarmonicSound(frames, fundamental, {4000, 2000})));
  switch (i % 8) {
    case 3:  // not a WAV file at all
      ASSERT_TRUE(WriteBytes(base + ".wav", std::vector<uint8_t>(100 + i, 'x')));
      break;
    case 4:  // no pitch track
      return;
    case 5:  // a pitch track too short, read as zeros
      ASSERT_TRUE(WriteBytes(base + ".dat", {1, 2, 3}));
      return;
    case 6:  // the data chunk claims more than the file has
      std::filesystem::resize_file(base + ".wav", std::filesystem::file_size(base + ".wav") - 1);
      break;
    case 7:  // an output that must not be replaced
      ASSERT_TRUE(WriteBytes(base + ".bin", {1, 2, 3}));
      ASSERT_EQ(chmod((base + ".bin").c_str(), 0444), 0);
      break;
  }
  ASSERT_TRUE(WritePitchTrack(base + ".dat", std::vector<uint16_t>(frames, fundamental)));
}

std::string Name(int i) { return Stem(i) + ".wav"; }
std::string Output(const std::string& folder, int i) { return folder + "/" + Stem(i) + ".bin"; }

TEST(Soak, TwoHundredJobsInOneProcessKeepMemoryFlatAndMatchSeparateRuns) {
  ScratchFolder folder;
  for (int i = 0; i < kFiles; ++i) MakeFile(folder.path(), i);

  std::vector<std::string> all = {"--quiet"};
  for (int i = 0; i < kFiles; ++i) all.push_back(Name(i));
  const ProcessResult together = RunMeasured(folder.path(), all);
  ASSERT_NE(together.status, 127) << "kelditra did not start under ptrace, which measures its exit";
  EXPECT_EQ(together.status, 1);
  std::vector<std::vector<uint8_t>> outputs_together;
  for (int i = 0; i < kFiles; ++i) {
    outputs_together.push_back(ReadBytes(Output(folder.path(), i)));
    if (i % 8 != 7) std::filesystem::remove(Output(folder.path(), i));
  }

  // Every kind of file early, midway and late in the long run, each in a
  // process of its own: the same outcome line and the same output.
  ASSERT_EQ(std::count(together.out.begin(), together.out.end(), '\n'), kFiles);
  long largest_alone_kib = 0;
  for (int first : {0, kFiles / 2, kFiles - 8}) {
    for (int i = first; i < first + 8; ++i) {
      const ProcessResult alone = RunMeasured(folder.path(), {"--quiet", Name(i)});
      largest_alone_kib = std::max(largest_alone_kib, alone.peak_kib);
      EXPECT_NE(("\n" + together.out).find("\n" + alone.out), std::string::npos) << alone.out;
      EXPECT_EQ(ReadBytes(Output(folder.path(), i)), outputs_together[i]) << Name(i);
    }
  }

  // No growth with the jobs: the table sets the peak, so the resident size at
  // exit after 8 jobs and after 200 is compared. A job that kept even its
  // smallest load, file 3's 103 bytes and 4 KiB of zeros, would show.
  constexpr long kSmallestLoadKib = 4;
  std::vector<std::string> first_kinds = {"--quiet"};
  for (int i = 0; i < 8; ++i) first_kinds.push_back(Name(i));
  const ProcessResult short_batch = RunMeasured(folder.path(), first_kinds);
  ASSERT_GT(short_batch.resident_at_exit_kib, 0) << "the exit could not be measured";
  EXPECT_LT(together.resident_at_exit_kib - short_batch.resident_at_exit_kib,
            (kFiles - 8) * kSmallestLoadKib);
  // A batch keeps its prepared table between jobs, so it needs more than a
  // single job: the prepared half of the table, not another whole one.
  const long table_kib = static_cast<long>(std::filesystem::file_size(LiveTablePath())) / 1024;
  EXPECT_LT(short_batch.peak_kib - largest_alone_kib, table_kib * 3 / 4);
  // And the mix really ran: every kind of outcome is among the lines.
  for (const char* message : {utf8::kFinished, utf8::kUnsupportedWave, utf8::kFileNotFoundSuffix,
                              utf8::kBadDataLength, utf8::kWriteFailed}) {
    EXPECT_NE(together.out.find(message), std::string::npos) << message;
  }
}

}  // namespace

}  // namespace kelditra
