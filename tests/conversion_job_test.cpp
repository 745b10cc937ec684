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

// A job that ends before its window opens shows one message of its own
// style and leaves the shared flags untouched; loads stop at the first
// failure, in the order table, pitch track, WAV file. (Each load failure of
// its own is met end to end by the bad-input test.)
TEST_F(ConversionJob, RefusalsAndLoadFailuresEndBeforeTheWindowOpens) {
  const std::string table = settings_.voice_table_path;
  const std::string missing_table = folder_ / "no-table.dat";
  ASSERT_TRUE(WriteBytes(folder_ / "empty.dat", {}));
  ASSERT_TRUE(WriteBytes(folder_ / "solo.dat", {}));
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
      {true, missing_table, folder_ / "nothing.wav", missing_table + utf8::kFileNotFoundSuffix,
       kStylePlain},
      {true, folder_ / "empty.dat", folder_ / "nothing.wav", utf8::kNoMemory, kStylePlain},
      {true, table, folder_ / "nothing.wav", folder_ / "nothing.dat" + utf8::kFileNotFoundSuffix,
       kStylePlain},
      {true, table, folder_ / "solo.wav", folder_ / "solo.wav" + utf8::kFileNotFoundSuffix,
       kStylePlain},
      // A file where a folder should be is no missing file.
      {true, table, folder_ / "solo.dat/take.wav", utf8::kCannotOpen, kStylePlain},
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

// White space is trimmed at the end of the typed path only; the pitch track
// and output are named from it, the table by its bare name in the current
// folder.
TEST_F(ConversionJob, NamesComeFromThePathAsTyped) {
  MakeInput("take1", 735 * 3);
  std::filesystem::rename(folder_ / "take1.wav", folder_ / "take1.WAV");
  Run(folder_ / "take1.WAV \t\r\n\v\f  ");
  ExpectOneMessage(utf8::kFinished, kStylePlain);
  EXPECT_EQ(ReadBytes(folder_ / "take1.bin").size(), 3u * 16);
  const std::string here = std::filesystem::current_path();
  ASSERT_EQ(chdir(folder_.path().c_str()), 0);
  host_ = ScriptedHost();
  Run(" take1.WAV");
  ExpectOneMessage(std::string(" take1.dat") + utf8::kFileNotFoundSuffix, kStylePlain);
  host_ = ScriptedHost();
  host_.path_text = "take1.WAV";
  RunConversionJob(host_, JobSettings{});
  ExpectOneMessage(std::string("fm_table2.dat") + utf8::kFileNotFoundSuffix, kStylePlain);
  ASSERT_EQ(chdir(here.c_str()), 0);
}

// The window opens and closes even when there is nothing to analyse; an
// output that cannot be written fails after it closed and keeps the old file.
TEST_F(ConversionJob, RecordsFollowWholeFramesAndAFailedWriteKeepsTheOldFile) {
  const struct {
    int samples;
    size_t records;
    bool read_only;
  } cases[] = {{0, 0, false}, {734, 0, false}, {735, 1, false}, {1469, 1, false},
               {1470, 2, false}, {1470, 2, true}};
  for (const auto& c : cases) {
    const std::string base = MakeInput("n" + std::to_string(c.samples), c.samples);
    const std::vector<uint8_t> old_output(99, 1);
    ASSERT_TRUE(WriteBytes(base + ".bin", old_output));
    if (c.read_only) {
      ASSERT_EQ(chmod((base + ".bin").c_str(), 0444), 0);
    }
    host_ = ScriptedHost();
    Run(base + ".wav");
    ExpectOneMessage(c.read_only ? utf8::kWriteFailed : utf8::kFinished, kStylePlain);
    if (c.read_only) {
      EXPECT_EQ(ReadBytes(base + ".bin"), old_output);
    } else {
      EXPECT_EQ(ReadBytes(base + ".bin").size(), 16 * c.records) << c.samples;
    }
    EXPECT_EQ(host_.events, (std::vector<std::string>{"create", "destroy", "message"}));
  }
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
    bool no_window = false;
  } cases[] = {
      // Readings: 0 at the start, then 50, 100 (not past 0 + 100), 150 (tick,
      // then 200 read after pumping), 250, 300, 350 (tick), 400.
      {6, 50, 0, utf8::kFinished, {2, 5}},
      // A tick per frame: the highest stays below a hundred.
      {5, 101, 0, utf8::kFinished, {0, 1, 2, 3, 4}},
      {6, 101, 2, utf8::kCancelled, {0, 1}},
      // A cancel during the last tick is never looked at.
      {4, 101, 4, utf8::kFinished, {0, 1, 2, 3}},
      // Without a progress window the job runs to its end.
      {3, 101, 0, utf8::kFinished, {}, true},
  };
  for (const auto& c : cases) {
    const std::string base = MakeInput("take" + std::to_string(c.frames), 735 * c.frames);
    ASSERT_TRUE(WriteBytes(base + ".bin", {5, 5}));
    host_ = ScriptedHost();
    host_.clock_step_ms = c.step_ms;
    host_.create_window_fails = c.no_window;
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
    // A canceller takes the window down itself; the job does not destroy it again.
    EXPECT_EQ(std::count(host_.events.begin(), host_.events.end(), "destroy"),
              c.cancel_at_tick == 0 && !c.no_window ? 1 : 0);
    if (c.message == utf8::kCancelled) {
      EXPECT_EQ(ReadBytes(base + ".bin"), (std::vector<uint8_t>{5, 5}));
    } else {
      EXPECT_EQ(ReadBytes(base + ".bin").size(), c.frames * 16u);
    }
  }
}

// Pumping handles every pending message, and stops at the quit message: the
// one after it waits for the next tick. A second press from inside the
// pumping finds the job busy and is ignored.
TEST_F(ConversionJob, PumpingStopsAtQuitAndASecondPressIsIgnored) {
  const std::string base = MakeInput("take", 735 * 3);
  host_.clock_step_ms = 101;
  int handled = 0;
  std::vector<int> handled_before_tick;
  host_.on_refresh = [&](int tick) {
    handled_before_tick.push_back(handled);
    if (tick != 1) return;
    host_.pending.push_back([&] { return RunConversionJob(host_, settings_), ++handled, true; });
    host_.pending.push_back([&] { return ++handled, true; });
    host_.pending.push_back([&] { return ++handled, false; });  // the quit message
    host_.pending.push_back([&] { return ++handled, true; });
  };
  Run(base + ".wav");
  EXPECT_EQ(handled_before_tick, (std::vector<int>{0, 3, 4}));
  EXPECT_EQ(host_.quits_posted, 1);
  EXPECT_EQ(host_.windows_created, 1);
  ExpectOneMessage(utf8::kFinished, kStylePlain);
}

}  // namespace
