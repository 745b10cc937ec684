// One process converting 200 files in a row, good and bad mixed, ends each
// job with nothing held: its peak memory is that of its largest single job,
// and every file comes out exactly as it does in a process of its own.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "job_fixtures.h"
#include "test_support.h"

namespace {

constexpr int kFiles = 200;

// kelditra with the given arguments in folder. Should jobs keep what they
// load after all, the run fails for want of memory long before it could
// crowd out the rest of the machine: room for a job, and for the stacks and
// heaps of a search thread per core.
ProcessResult RunMeasured(const std::string& folder, std::vector<std::string> arguments) {
  const uint64_t limit_kib =
      (uint64_t{4} << 20) + (uint64_t{128} << 10) * std::thread::hardware_concurrency();
  const std::string command = "ulimit -v " + std::to_string(limit_kib) + "; exec \"$0\" \"$@\"";
  arguments.insert(arguments.begin(), {"-c", command, KelditraPath()});
  return RunProcess("/bin/sh", arguments, folder);
}

// Names that sort in the order of the run.
std::string Stem(int i) { return std::to_string(1000 + i); }

// File i of the mix; most are converted, the rest fail in the ways a
// careless user makes them fail, at every stage of a job.
void MakeFile(const std::string& folder, int i) {
  const std::string base = folder + "/" + Stem(i);
  const int frames = 1 + i % 7;
  const uint16_t fundamental = static_cast<uint16_t>(110 + 13 * i);
  const std::vector<int16_t> sound = HarmonicSound(frames, fundamental, {4000, 2000});
  switch (i % 8) {
    case 0:
    case 1:
    case 2:
      ASSERT_TRUE(WriteMonoWave(base + ".wav", sound));
      ASSERT_TRUE(WritePitchTrack(base + ".dat", std::vector<uint16_t>(frames, fundamental)));
      break;
    case 3:  // not a WAV file at all
      ASSERT_TRUE(WriteBytes(base + ".wav", std::vector<uint8_t>(100 + i, 'x')));
      ASSERT_TRUE(WritePitchTrack(base + ".dat", {fundamental}));
      break;
    case 4:  // no pitch track
      ASSERT_TRUE(WriteMonoWave(base + ".wav", sound));
      break;
    case 5:  // a pitch track too short, read as zeros
      ASSERT_TRUE(WriteMonoWave(base + ".wav", sound));
      ASSERT_TRUE(WriteBytes(base + ".dat", {1, 2, 3}));
      break;
    case 6: {  // the data chunk claims more than the file has
      ASSERT_TRUE(WriteMonoWave(base + ".wav", sound));
      std::vector<uint8_t> bytes = ReadBytes(base + ".wav");
      bytes.resize(bytes.size() - 1);
      ASSERT_TRUE(WriteBytes(base + ".wav", bytes));
      ASSERT_TRUE(WritePitchTrack(base + ".dat", {fundamental}));
      break;
    }
    case 7:  // an output that must not be replaced
      ASSERT_TRUE(WriteMonoWave(base + ".wav", sound));
      ASSERT_TRUE(WritePitchTrack(base + ".dat", std::vector<uint16_t>(frames, fundamental)));
      ASSERT_TRUE(WriteBytes(base + ".bin", {1, 2, 3}));
      ASSERT_EQ(chmod((base + ".bin").c_str(), 0444), 0);
      break;
  }
}

std::string Name(int i) { return Stem(i) + ".wav"; }
std::string Output(const std::string& folder, int i) { return folder + "/" + Stem(i) + ".bin"; }

TEST(Soak, TwoHundredJobsInOneProcessKeepMemoryFlatAndMatchSeparateRuns) {
  ScratchFolder folder;
  RawEntry half_harmonic(128, 0), harmonic(128, 0);
  half_harmonic[2] = 3000;
  half_harmonic[4] = 1500;
  harmonic[2] = 2000;
  harmonic[6] = 900;
  ASSERT_TRUE(WriteSparseTable(folder / "fm_table2.dat", {{100, half_harmonic}, {0x1005, harmonic}}));
  for (int i = 0; i < kFiles; ++i) MakeFile(folder.path(), i);

  std::vector<std::string> all = {"--quiet"};
  for (int i = 0; i < kFiles; ++i) all.push_back(Name(i));
  const ProcessResult together = RunMeasured(folder.path(), all);
  EXPECT_EQ(together.status, 1);
  std::vector<std::vector<uint8_t>> outputs_together;
  for (int i = 0; i < kFiles; ++i) {
    outputs_together.push_back(ReadBytes(Output(folder.path(), i)));
    if (i % 8 != 7) std::filesystem::remove(Output(folder.path(), i));
  }

  std::string out_alone;
  long largest_alone_kib = 0;
  for (int i = 0; i < kFiles; ++i) {
    const ProcessResult alone = RunMeasured(folder.path(), {"--quiet", Name(i)});
    out_alone += alone.out;
    largest_alone_kib = std::max(largest_alone_kib, alone.peak_kib);
    EXPECT_EQ(ReadBytes(Output(folder.path(), i)), outputs_together[i]) << Name(i);
  }
  EXPECT_EQ(together.out, out_alone);

  // A batch keeps its prepared table between jobs, so it needs more than a
  // single job; what must not happen is growth with the number of jobs. A
  // job that kept even a small part of what it loaded would leave 200 times
  // that behind; the voice table alone is 64 MiB a job.
  std::vector<std::string> first_kinds = {"--quiet"};
  for (int i = 0; i < 8; ++i) first_kinds.push_back(Name(i));
  const ProcessResult short_batch = RunMeasured(folder.path(), first_kinds);
  constexpr long kMarginKib = 8 * 1024;
  std::printf("peak resident size: %ld KiB for %d jobs, %ld KiB for 8, at most %ld KiB for one\n",
              together.peak_kib, kFiles, short_batch.peak_kib, largest_alone_kib);
  EXPECT_LE(together.peak_kib, short_batch.peak_kib + kMarginKib);
  // The kept table is the prepared half of one table, not another whole one.
  EXPECT_LE(short_batch.peak_kib, largest_alone_kib + 40 * 1024);
  // And the mix really ran: every kind of outcome is among the lines.
  for (const char* message : {utf8::kFinished, utf8::kUnsupportedWave, utf8::kFileNotFoundSuffix,
                              utf8::kBadDataLength, utf8::kWriteFailed}) {
    EXPECT_NE(together.out.find(message), std::string::npos) << message;
  }
}

}  // namespace
