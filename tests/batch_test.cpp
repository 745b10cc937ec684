#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "job/conversion_job.h"
#include "job/kept_voice_table.h"
#include "job_fixtures.h"
#include "scripted_host.h"
#include "test_support.h"

namespace kelditra {

namespace {

// One load for many files is the command-line test's; their records, the soak test's.
TEST(Batch, AKeptTableGivesTheRecordsOfAFreshOneAndFollowsChangesToTheFile) {
  ScratchFolder folder;
  const std::string table_path = folder / "fm_table2.dat";
  RawEntry first(128, 0), second(128, 0);
  first[2] = second[4] = 3000;
  first[4] = second[2] = 500;
  ASSERT_TRUE(WriteSparseTable(table_path, {{100, first}, {200, second}}));
  ASSERT_TRUE(WriteMonoWave(folder / "a.wav", HarmonicSound(6, 220, {5000, 2500})));
  ASSERT_TRUE(WritePitchTrack(folder / "a.dat", std::vector<uint16_t>(6, 220)));
  gBusyFlag = 0;
  const auto convert = [&](KeptVoiceTable* kept, bool reference = false) {
    ScriptedHost host;
    host.path_text = folder / "a.wav";
    JobSettings settings;
    settings.voice_table_path = table_path;
    settings.kept_table = kept;
    settings.search.reference_search = reference;
    RunConversionJob(host, settings);
    return host.shown.at(0).text;
  };
  ASSERT_EQ(convert(nullptr), utf8::kFinished);
  const std::vector<uint8_t> fresh = ReadBytes(folder / "a.bin");

  KeptVoiceTable kept;
  ASSERT_EQ(convert(&kept), utf8::kFinished);
  EXPECT_EQ(ReadBytes(folder / "a.bin"), fresh);
  // The first job's fast search laid the kept table out; the next job
  // searches the same table with the same layout.
  FileIdentity identity;
  ASSERT_TRUE(IdentityOf(table_path.c_str(), &identity));
  PreparedTable* table = kept.Find(table_path, identity);
  ASSERT_TRUE(table != nullptr && table->has_layout());
  const fast::FastSearchLayout* layout = table->Layout().get();
  ASSERT_EQ(convert(&kept), utf8::kFinished);  // from the kept table
  EXPECT_EQ(ReadBytes(folder / "a.bin"), fresh);
  EXPECT_EQ(kept.Find(table_path, identity), table);
  EXPECT_EQ(table->Layout().get(), layout);

  // Entry 100 moves to 300 between two jobs, and a job of the plain search
  // comes first: neither it nor the fast job after it may use the kept copy
  // or its layout.
  ASSERT_TRUE(WriteSparseTable(table_path, {{200, second}, {300, first}}));
  ASSERT_EQ(convert(&kept, true), utf8::kFinished);
  const std::vector<uint8_t> moved = ReadBytes(folder / "a.bin");
  const std::vector<Record> records = ReadRecords(folder / "a.bin");
  ASSERT_FALSE(records.empty());
  EXPECT_EQ(records[0].voice_high * 16 + records[0].voice_low, 300);
  ASSERT_EQ(convert(&kept), utf8::kFinished);
  EXPECT_EQ(ReadBytes(folder / "a.bin"), moved);

  // A table that has disappeared is reported, kept copy or not.
  std::filesystem::remove(table_path);
  EXPECT_EQ(convert(&kept), table_path + utf8::kFileNotFoundSuffix);
}

}  // namespace

}  // namespace kelditra
