#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "job/conversion_job.h"
#include "job/kept_voice_table.h"
#include "job_fixtures.h"
#include "scripted_host.h"
#include "test_support.h"

namespace {

RawEntry Entry(uint16_t low, uint16_t high) {
  RawEntry entry(128, 0);
  entry[2] = low;
  entry[4] = high;
  return entry;
}

class Batch : public ::testing::Test {
 protected:
  void SetUp() override {
    gBusyFlag = 0;
    ASSERT_TRUE(WriteSparseTable(folder_ / "fm_table2.dat",
                                 {{100, Entry(3000, 500)}, {200, Entry(500, 3000)}}));
    for (const char* name : {"a", "b", "c"}) {
      const double hz = name[0] == 'b' ? 330 : 220;
      ASSERT_TRUE(WriteMonoWave(folder_ / name + ".wav", HarmonicSound(6, hz, {5000, 2500})));
      ASSERT_TRUE(WritePitchTrack(folder_ / name + ".dat", std::vector<uint16_t>(6, hz)));
    }
    ASSERT_TRUE(WriteBytes(folder_ / "bad.wav", std::vector<uint8_t>(80, 'x')));
    ASSERT_TRUE(WriteBytes(folder_ / "bad.dat", {}));
  }

  std::string Convert(const std::string& name, KeptVoiceTable* kept) {
    ScriptedHost host;
    host.path_text = folder_ / name;
    JobSettings settings;
    settings.voice_table_path = folder_ / "fm_table2.dat";
    settings.kept_table = kept;
    RunConversionJob(host, settings);
    return host.shown.at(0).text;
  }

  ScratchFolder folder_;
};

TEST_F(Batch, AKeptTableGivesTheRecordsOfAFreshOneAndFollowsChangesToTheFile) {
  ASSERT_EQ(Convert("a.wav", nullptr), utf8::kFinished);
  const std::vector<uint8_t> fresh = ReadBytes(folder_ / "a.bin");

  KeptVoiceTable kept;
  ASSERT_EQ(Convert("a.wav", &kept), utf8::kFinished);
  EXPECT_EQ(ReadBytes(folder_ / "a.bin"), fresh);
  // The first job's fast search laid the kept table out; the next job
  // searches the same table with the same layout.
  const std::string table_path = folder_ / "fm_table2.dat";
  FileIdentity identity;
  ASSERT_TRUE(IdentityOf(table_path.c_str(), &identity));
  PreparedTable* table = kept.Find(table_path, identity);
  ASSERT_TRUE(table != nullptr && table->has_layout());
  const FastSearchLayout* layout = table->Layout().get();
  ASSERT_EQ(Convert("a.wav", &kept), utf8::kFinished);  // from the kept table
  EXPECT_EQ(ReadBytes(folder_ / "a.bin"), fresh);
  EXPECT_EQ(kept.Find(table_path, identity), table);
  EXPECT_EQ(table->Layout().get(), layout);

  // The table is rewritten between two jobs: the next one must not use the
  // kept copy. Entry 100 is gone, so its records change.
  ASSERT_TRUE(WriteSparseTable(folder_ / "fm_table2.dat", {{200, Entry(500, 3000)}}));
  ASSERT_EQ(Convert("a.wav", &kept), utf8::kFinished);
  const std::vector<Record> records = ReadRecords(folder_ / "a.bin");
  ASSERT_FALSE(records.empty());
  EXPECT_EQ(records[0].voice_high * 16 + records[0].voice_low, 200);

  // A table that has disappeared is reported, kept copy or not.
  std::filesystem::remove(folder_ / "fm_table2.dat");
  EXPECT_EQ(Convert("a.wav", &kept), folder_ / "fm_table2.dat" + utf8::kFileNotFoundSuffix);
}

// Files converted in a run of their own give the same bytes as in a batch:
// the soak test compares them.
TEST_F(Batch, ManyFilesInOneRunLoadTheTableOnce) {
  // strace counts the opens of the table in the one process. The leak
  // checker of a sanitizer build cannot work under a tracer; everything
  // else it checks still runs.
  const char* asan = std::getenv("ASAN_OPTIONS");
  const std::string traced_asan =
      std::string("ASAN_OPTIONS=") + (asan != nullptr ? asan : "") + ":detect_leaks=0";
  const std::string strace = FindTool("strace");
  if (strace.empty()) GTEST_FAIL() << MissingTool("strace");
  const ProcessResult result = RunProcess(
      strace, {"-f", "-e", "trace=open,openat", "-o", folder_ / "trace", "-E",
                          traced_asan, KelditraPath(), "a.wav", "bad.wav", "b.wav", "c.wav"},
      folder_.path());
  EXPECT_EQ(result.status, 1) << result.out;  // bad.wav failed
  const std::vector<uint8_t> trace = ReadBytes(folder_ / "trace");
  const std::string text(trace.begin(), trace.end());
  const size_t first_open = text.find("fm_table2.dat");
  EXPECT_NE(first_open, std::string::npos) << text;
  EXPECT_EQ(text.find("fm_table2.dat", first_open + 1), std::string::npos) << text;
}

}  // namespace
