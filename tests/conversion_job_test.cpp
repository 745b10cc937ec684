#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "io/pool.h"
#include "job/conversion_job.h"
#include "job_fixtures.h"
#include "scripted_host.h"
#include "test_support.h"

namespace kelditra {

namespace {

// Each case runs in its scratch folder, so that paths are as a user types them.
class ConversionJob : public ::testing::Test {
 protected:
  void SetUp() override {
    gBusyFlag = 0;
    gCancelFlag = 0;
    gProgressWindow = nullptr;
    settings_.voice_table_path = LiveTablePath();
    ASSERT_EQ(chdir(folder_.path().c_str()), 0);
  }
  void TearDown() override { ASSERT_EQ(chdir(here_.c_str()), 0); }

  // A sound of the given length with a pitch track of 220 Hz for every frame.
  void MakeInput(const std::string& name, int samples, const std::string& extension = ".wav") {
    std::vector<int16_t> sound = HarmonicSound(samples / 735 + 1, 220, {6000, 3000});
    sound.resize(static_cast<size_t>(samples));
    EXPECT_TRUE(WriteMonoWave(name + extension, sound));
    EXPECT_TRUE(WritePitchTrack(name + ".dat", std::vector<uint16_t>(samples / 735 + 1, 220)));
  }

  void Run(const std::string& path_text) {
    host_.path_text = path_text;
    RunConversionJob(host_, settings_);
  }

  void ExpectOneMessage(const std::string& text, int style) {
    ASSERT_EQ(host_.shown.size(), 1u);
    EXPECT_EQ(host_.shown[0].text, text);
    EXPECT_EQ(host_.shown[0].style, style);
    EXPECT_EQ(gBusyFlag, 0);
    EXPECT_EQ(gProgressWindow, nullptr);
    EXPECT_EQ(PoolBlockCount(), 0);
  }

  const std::string here_ = std::filesystem::current_path();
  ScratchFolder folder_;
  JobSettings settings_;
  ScriptedHost host_;
};

// A job that ends before its window opens shows one message of its style and
// leaves the shared flags alone; loads stop at the first failure, in the order
// table (by default in the current folder), pitch track, WAV file.
TEST_F(ConversionJob, RefusalsAndLoadFailuresEndBeforeTheWindowOpens) {
  const std::string table = settings_.voice_table_path;
  const std::string not_found = utf8::kFileNotFoundSuffix;
  ASSERT_TRUE(WriteBytes("solo.dat", {}));
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
      {true, JobSettings().voice_table_path, "nothing.wav", "fm_table2.dat" + not_found,
       kStylePlain},
      // Blanks are trimmed at the end of the typed path only.
      {true, table, " nothing.wav", " nothing.dat" + not_found, kStylePlain},
      // A file where a folder should be is no missing file.
      {true, table, "solo.dat/take.wav", utf8::kCannotOpen, kStylePlain},
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

// Ticks on a scripted clock; only a finished job replaces the output, with a
// record for each whole frame. The rows run in turn without a reset, so a job
// that kept the cancel of the one before would stop the row after it.
TEST_F(ConversionJob, TicksFollowTheClockAndOnlyAFinishedJobReplacesTheOutput) {
  const struct {
    int samples;
    int64_t step_ms;
    int cancel_at_tick;  // 0: none
    const char* message;
    std::vector<int> tick_frames;  // each tick's percentage: frame / (frames + 1)
    bool no_window = false;
    std::string typed_extension = ".wav";
  } cases[] = {
      // The window opens and closes even when there is no whole frame; an
      // output that cannot be written fails after it closed.
      {0, 0, 0, utf8::kFinished, {}},
      {734, 0, 0, utf8::kFinished, {}},
      {1469, 0, 0, utf8::kFinished, {}},
      {1470, 0, 0, utf8::kWriteFailed, {}},
      // Only white space at the end of the typed path is trimmed.
      {2205, 0, 0, utf8::kFinished, {}, false, ".WAV \t\r\n\v\f  "},
      // Readings: 0 at the start, then 50, 100 (not past 0 + 100), 150 (tick,
      // then 200 read after pumping), 250, 300, 350 (tick), 400.
      {735 * 6, 50, 0, utf8::kFinished, {2, 5}},
      // A tick per frame: the highest stays below a hundred.
      {735 * 5, 101, 0, utf8::kFinished, {0, 1, 2, 3, 4}},
      {735 * 6, 101, 2, utf8::kCancelled, {0, 1}},
      // A cancel during the last tick is never looked at.
      {735 * 4, 101, 4, utf8::kFinished, {0, 1, 2, 3}},
      // Without a progress window the job runs to its end.
      {735 * 3, 101, 0, utf8::kFinished, {}, true},
  };
  const std::vector<uint8_t> old_output = {5, 5};
  for (const auto& c : cases) {
    const int frames = c.samples / 735;
    const std::string base = std::to_string(c.samples) + "-samples";
    MakeInput(base, c.samples, c.typed_extension.substr(0, 4));
    ASSERT_TRUE(WriteBytes(base + ".bin", old_output));
    ASSERT_EQ(chmod((base + ".bin").c_str(), c.message == utf8::kWriteFailed ? 0444 : 0644), 0);
    host_ = ScriptedHost();
    host_.clock_step_ms = c.step_ms;
    host_.create_window_fails = c.no_window;
    host_.on_refresh = [&](int tick) {
      if (tick == c.cancel_at_tick) host_.pending.push_back(ScriptedHost::CancelAndClose);
    };
    Run(base + c.typed_extension);
    ExpectOneMessage(c.message, kStylePlain);
    ASSERT_EQ(host_.refreshed_percents.size(), c.tick_frames.size()) << c.samples;
    for (size_t i = 0; i < c.tick_frames.size(); ++i) {
      EXPECT_DOUBLE_EQ(host_.refreshed_percents[i], 100.0 * c.tick_frames[i] / (frames + 1))
          << c.samples << " tick " << i;
    }
    // A canceller takes the window down itself; the job does not destroy it again.
    EXPECT_EQ(std::count(host_.events.begin(), host_.events.end(), "destroy"),
              c.cancel_at_tick == 0 && !c.no_window ? 1 : 0);
    EXPECT_EQ(host_.events.back(), "message");
    if (c.message == utf8::kFinished) {
      EXPECT_EQ(ReadBytes(base + ".bin").size(), frames * 16u) << c.samples;
    } else {
      EXPECT_EQ(ReadBytes(base + ".bin"), old_output) << c.samples;
    }
  }
}

// Pumping handles every pending message, and stops at the quit message: the
// one after it waits for the next tick. A second press from inside the
// pumping finds the job busy and is ignored.
TEST_F(ConversionJob, PumpingStopsAtQuitAndASecondPressIsIgnored) {
  MakeInput("take", 735 * 3);
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
  Run("take.wav");
  EXPECT_EQ(handled_before_tick, (std::vector<int>{0, 3, 4}));
  EXPECT_EQ(std::count(host_.events.begin(), host_.events.end(), "quit"), 1);
  EXPECT_EQ(std::count(host_.events.begin(), host_.events.end(), "create"), 1);
  ExpectOneMessage(utf8::kFinished, kStylePlain);
}

}  // namespace

}  // namespace kelditra
