#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "formats/parameter_file.h"
#include "io/pool.h"
#include "job/conversion_job.h"
#include "job_fixtures.h"
#include "scripted_host.h"
#include "test_support.h"

namespace {

class ConversionJob : public ::testing::Test {
 protected:
  void SetUp() override {
    gBusyFlag = 0;
    gCancelFlag = 0;
    gProgressWindow = nullptr;
    settings_.voice_table_path = LiveTablePath();
  }

  // A sound of the given length with a pitch track of 220 Hz for every frame.
  std::string MakeInput(const std::string& name, int samples) {
    const std::string base = folder_ / name;
    std::vector<int16_t> sound = HarmonicSound(samples / 735 + 1, 220, {6000, 3000});
    sound.resize(static_cast<size_t>(samples));
    EXPECT_TRUE(WriteMonoWave(base + ".wav", sound));
    EXPECT_TRUE(WritePitchTrack(base + ".dat", std::vector<uint16_t>(samples / 735 + 1, 220)));
    return base;
  }

  ScriptedHost& Run(const std::string& path_text) {
    host_.path_text = path_text;
    RunConversionJob(host_, settings_);
    return host_;
  }

  void ExpectOneMessage(const std::string& text, int style) {
    ASSERT_EQ(host_.shown.size(), 1u);
    EXPECT_EQ(host_.shown[0].text, text);
    EXPECT_EQ(host_.shown[0].style, style);
    EXPECT_EQ(gBusyFlag, 0);
    EXPECT_EQ(gProgressWindow, nullptr);
    EXPECT_EQ(PoolBlockCount(), 0);
  }

  ScratchFolder folder_;
  JobSettings settings_;
  ScriptedHost host_;
};

// Every way a job ends before its window opens, in one message of its own
// style, with the shared flags untouched; loads stop at the first failure,
// in the order table, pitch track, WAV file.
TEST_F(ConversionJob, RefusalsAndLoadFailuresEndBeforeTheWindowOpens) {
  const std::string base = MakeInput("take", 735 * 2);
  const std::string table = settings_.voice_table_path;
  const std::string missing_table = folder_ / "no-table.dat";
  ASSERT_TRUE(WriteBytes(folder_ / "one-byte.dat", {7}));
  ASSERT_TRUE(WriteBytes(folder_ / "empty.dat", {}));
  ASSERT_TRUE(WriteBytes(folder_ / "notwave.wav", std::vector<uint8_t>(100, 'x')));
  ASSERT_TRUE(WriteBytes(folder_ / "notwave.dat", {}));
  ASSERT_TRUE(WriteBytes(folder_ / "solo.dat", {}));
  // Sparse: 262,145 frames of silence, one more than the record array holds.
  const std::string long_wave = folder_ / "long.wav";
  const uint32_t data_bytes = 262145u * 735 * 2;
  ASSERT_TRUE(WriteMonoWave(long_wave, {}));
  std::vector<uint8_t> header = ReadBytes(long_wave);
  for (int i = 0; i < 4; ++i) header[40 + i] = static_cast<uint8_t>(data_bytes >> (8 * i));
  ASSERT_TRUE(WriteBytes(long_wave, header));
  ASSERT_EQ(truncate(long_wave.c_str(), 44 + data_bytes), 0);
  ASSERT_TRUE(WriteBytes(folder_ / "long.dat", {}));
  const struct {
    bool counter;
    std::string table, path, message;
    int style;
  } cases[] = {
      {false, table, "x.wav", utf8::kNoPerformanceCounter, kStyleExclamation},
      {true, table, "", utf8::kNotWaveFile, kStyleExclamation},
      {true, table, "wav", utf8::kNotWaveFile, kStyleExclamation},
      {true, table, "take.txt", utf8::kNotWaveFile, kStyleExclamation},
      {true, table, "take.wav.bak", utf8::kNotWaveFile, kStyleExclamation},
      {true, table, "take.wa v", utf8::kNotWaveFile, kStyleExclamation},
      // A missing table: neither the missing pitch track nor the WAV is reached.
      {true, missing_table, folder_ / "nothing.wav", missing_table + utf8::kFileNotFoundSuffix,
       kStylePlain},
      {true, folder_ / "empty.dat", base + ".wav", utf8::kNoMemory, kStylePlain},
      {true, folder_ / "one-byte.dat", base + ".wav", utf8::kBadVoiceTableSize, kStylePlain},
      {true, table, folder_ / "nothing.wav", folder_ / "nothing.dat" + utf8::kFileNotFoundSuffix,
       kStylePlain},
      // Pitch track present, WAV missing: the WAV's own name is reported.
      {true, table, folder_ / "solo.wav", folder_ / "solo.wav" + utf8::kFileNotFoundSuffix,
       kStylePlain},
      {true, table, folder_ / "missing-folder/take.wav", utf8::kCannotOpen, kStylePlain},
      {true, table, folder_ / "notwave.wav", utf8::kUnsupportedWave, kStylePlain},
      {true, table, long_wave, utf8::kWaveTooLong, kStylePlain},
  };
  for (const auto& c : cases) {
    host_ = ScriptedHost();
    host_.has_counter = c.counter;
    settings_.voice_table_path = c.table;
    gCancelFlag = 1;
    Run(c.path);
    ExpectOneMessage(c.message, c.style);
    EXPECT_EQ(host_.events, std::vector<std::string>{"message"}) << c.path;
    EXPECT_EQ(gCancelFlag, 1) << "shared state touched for " << c.path;
  }
}

TEST_F(ConversionJob, TheTableIsLookedUpByItsBareNameInTheCurrentFolder) {
  const std::string here = std::filesystem::current_path();
  ASSERT_EQ(chdir(folder_.path().c_str()), 0);
  host_.path_text = "take.wav";
  RunConversionJob(host_, JobSettings{});
  ASSERT_EQ(chdir(here.c_str()), 0);
  ExpectOneMessage(std::string("fm_table2.dat") + utf8::kFileNotFoundSuffix, kStylePlain);
}

TEST_F(ConversionJob, TrailingWhiteSpaceIsTrimmedAndNamesAreDerived) {
  MakeInput("take1", 735 * 3);
  std::filesystem::rename(folder_ / "take1.wav", folder_ / "take1.WAV");
  Run(folder_ / "take1.WAV \t\r\n\v\f  ");
  ExpectOneMessage(utf8::kFinished, kStylePlain);
  EXPECT_EQ(ReadBytes(folder_ / "take1.bin").size(), 3u * 16);
  // White space at the start stays part of the path.
  const std::string here = std::filesystem::current_path();
  ASSERT_EQ(chdir(folder_.path().c_str()), 0);
  host_ = ScriptedHost();
  Run(" take1.WAV");
  ASSERT_EQ(chdir(here.c_str()), 0);
  ExpectOneMessage(std::string(" take1.dat") + utf8::kFileNotFoundSuffix, kStylePlain);
}

TEST_F(ConversionJob, RecordCountFollowsWholeFrames) {
  const struct {
    int samples;
    size_t records;
  } cases[] = {{0, 0}, {734, 0}, {735, 1}, {1469, 1}, {1470, 2}};
  for (const auto& c : cases) {
    const std::string base = MakeInput("n" + std::to_string(c.samples), c.samples);
    ASSERT_TRUE(WriteBytes(base + ".bin", std::vector<uint8_t>(99, 1)));
    host_ = ScriptedHost();
    Run(base + ".wav");
    ExpectOneMessage(utf8::kFinished, kStylePlain);
    EXPECT_EQ(ReadBytes(base + ".bin").size(), 16 * c.records) << c.samples;
    // The window opens and closes even when there is nothing to analyse.
    EXPECT_EQ(host_.events, (std::vector<std::string>{"create", "destroy", "message"}));
  }
}

TEST_F(ConversionJob, AnUnwritableOutputFailsAfterTheWindowClosesAndKeepsTheOldFile) {
  const std::string base = MakeInput("take", 735 * 2);
  ASSERT_TRUE(WriteBytes(base + ".bin", {1, 2, 3}));
  ASSERT_EQ(chmod((base + ".bin").c_str(), 0444), 0);
  Run(base + ".wav");
  ExpectOneMessage(utf8::kWriteFailed, kStylePlain);
  EXPECT_EQ(host_.events, (std::vector<std::string>{"create", "destroy", "message"}));
  EXPECT_EQ(ReadBytes(base + ".bin"), (std::vector<uint8_t>{1, 2, 3}));
}

// Ticks on a scripted clock. The rows run in turn without a reset, so a job
// that kept the cancel of the one before would stop the row after it.
TEST_F(ConversionJob, TicksFollowTheClockAndACancelIsSeenAtTheNextOne) {
  const struct {
    int frames;
    int64_t step_ms;
    int cancel_at_tick;  // 0: none
    const char* message;
    std::vector<int> tick_frames;  // each tick's percentage: frame / (frames + 1)
  } cases[] = {
      // Readings: 0 at the start, then 50, 100 (not past 0 + 100), 150 (tick,
      // then 200 read after pumping), 250, 300, 350 (tick), 400.
      {6, 50, 0, utf8::kFinished, {2, 5}},
      // A tick per frame: the highest stays below a hundred.
      {5, 101, 0, utf8::kFinished, {0, 1, 2, 3, 4}},
      {6, 101, 2, utf8::kCancelled, {0, 1}},
      // A cancel during the last tick is never looked at.
      {4, 101, 4, utf8::kFinished, {0, 1, 2, 3}},
  };
  for (const auto& c : cases) {
    const std::string base = MakeInput("take" + std::to_string(c.frames), 735 * c.frames);
    ASSERT_TRUE(WriteBytes(base + ".bin", {5, 5}));
    host_ = ScriptedHost();
    host_.clock_step_ms = c.step_ms;
    host_.on_refresh = [&](int tick) {
      if (tick == c.cancel_at_tick) host_.pending.push_back(ScriptedHost::CancelAndClose);
    };
    Run(base + ".wav");
    ExpectOneMessage(c.message, kStylePlain);
    ASSERT_EQ(host_.refreshed_percents.size(), c.tick_frames.size()) << c.frames;
    for (size_t i = 0; i < c.tick_frames.size(); ++i) {
      EXPECT_DOUBLE_EQ(host_.refreshed_percents[i], 100.0 * c.tick_frames[i] / (c.frames + 1))
          << c.frames << " tick " << i;
    }
    if (c.message == utf8::kCancelled) {
      // The canceller took the window down; the job does not destroy it again.
      EXPECT_EQ(std::count(host_.events.begin(), host_.events.end(), "destroy"), 0);
      EXPECT_EQ(ReadBytes(base + ".bin"), (std::vector<uint8_t>{5, 5}));
    } else {
      EXPECT_EQ(ReadBytes(base + ".bin").size(), c.frames * 16u);
    }
  }
}

TEST_F(ConversionJob, PumpingHandlesEveryPendingMessageAndStopsAtQuit) {
  const std::string base = MakeInput("take", 735 * 2);
  host_.clock_step_ms = 101;
  int handled = 0;
  host_.on_refresh = [&](int tick) {
    if (tick != 1) return;
    host_.pending.push_back([&] { return ++handled, true; });
    host_.pending.push_back([&] { return ++handled, true; });
    host_.pending.push_back([&] { return ++handled, false; });  // the quit message
    host_.pending.push_back([&] { return ++handled, true; });
  };
  Run(base + ".wav");
  EXPECT_EQ(handled, 3 + 1);  // the last one waits for the next tick
  EXPECT_EQ(host_.quits_posted, 1);
  ExpectOneMessage(utf8::kFinished, kStylePlain);
}

TEST_F(ConversionJob, AJobWithoutAProgressWindowRunsToItsEnd) {
  const std::string base = MakeInput("take", 735 * 3);
  host_.create_window_fails = true;
  host_.clock_step_ms = 101;
  Run(base + ".wav");
  ExpectOneMessage(utf8::kFinished, kStylePlain);
  EXPECT_TRUE(host_.refreshed_percents.empty());
  EXPECT_EQ(std::count(host_.events.begin(), host_.events.end(), "destroy"), 0);
}

TEST_F(ConversionJob, ThePressOfABusyJobIsIgnored) {
  const std::string base = MakeInput("take", 735 * 3);
  gBusyFlag = 1;
  Run(base + ".wav");
  EXPECT_TRUE(host_.events.empty());
  EXPECT_FALSE(std::filesystem::exists(base + ".bin"));

  // A second press from inside the running job's pumping.
  gBusyFlag = 0;
  host_.clock_step_ms = 101;
  host_.on_refresh = [&](int tick) {
    if (tick == 1) host_.pending.push_back([&] {
      RunConversionJob(host_, settings_);
      return true;
    });
  };
  Run(base + ".wav");
  ExpectOneMessage(utf8::kFinished, kStylePlain);
  EXPECT_EQ(host_.windows_created, 1);
}

}  // namespace
