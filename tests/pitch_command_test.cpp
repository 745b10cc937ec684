#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "formats/pitch_track.h"
#include "job_fixtures.h"
#include "pitch/pitch_tracker.h"
#include "pitch_test_sounds.h"
#include "test_support.h"

namespace kelditra {

namespace {

using namespace pitch_test;

std::vector<int16_t> Pcm(const Sound& sound) {
  std::vector<int16_t> pcm;
  for (const float sample : Render(sound).samples) {
    pcm.push_back(static_cast<int16_t>(std::lround(std::clamp(sample, -1.0f, 1.0f) * 32767)));
  }
  return pcm;
}

class PitchCommand : public ::testing::Test {
 protected:
  // In English, the pitch tool's lines have always been.
  ProcessResult Run(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "pitch");
    return RunProcess(KelditraPath(), arguments, folder_.path(), "C.UTF-8");
  }
  bool Exists(const std::string& name) { return std::filesystem::exists(folder_ / name); }

  ScratchFolder folder_;
};

TEST_F(PitchCommand, TrackHoldsWhatTheTrackerHearsInTheSixteenBitSamples) {
  // Ends part-way into a frame, which gets no record.
  const std::vector<int16_t> pcm = Pcm({"",
                                        {Silence(0.1), Tone(0.5, 220, Bright(6)), Noise(0.3, 0.3),
                                         Glide(0.6, 150, 300, Bright(8)), Vibrato(0.5, 440, 40, 6),
                                         Silence(0.1023)}});
  ASSERT_NE(pcm.size() % kFrame, 0u);
  ASSERT_TRUE(WriteMonoWave(folder_ / "song.wav", pcm));
  std::vector<float> heard(pcm.begin(), pcm.end());
  for (float& sample : heard) sample /= 32768;
  const std::vector<uint16_t> hz = TrackPitch(heard, {});
  ASSERT_TRUE(WritePitchTrack(folder_ / "expected.dat", hz));
  const auto voiced = std::count_if(hz.begin(), hz.end(), [](uint16_t f) { return f != 0; });
  ASSERT_GT(voiced, 60);

  const ProcessResult made = Run({"song.wav"});
  EXPECT_EQ(made.status, 0) << made.err;
  EXPECT_EQ(ReadBytes(folder_ / "song.dat"), ReadBytes(folder_ / "expected.dat"));
  EXPECT_EQ(made.out, "song.wav: wrote song.dat: " + std::to_string(hz.size()) + " frames, " +
                          std::to_string(voiced) + " voiced\n");
}

TEST_F(PitchCommand, OneOutcomeLinePerFileOrAUsageError) {
  const std::vector<int16_t> tone = Pcm({"", {Tone(0.2, 330, Bright(4))}});
  const size_t track_bytes = tone.size() / kFrame * kPitchRecordBytes;
  ASSERT_TRUE(WriteMonoWave(folder_ / "taken.wav", tone));
  ASSERT_TRUE(WriteBytes(folder_ / "taken.dat", {7, 7, 7}));
  ASSERT_TRUE(WriteMonoWave(folder_ / "Take.WAV", tone));
  ASSERT_TRUE(WriteMonoWave(folder_ / "tiny.wav", std::vector<int16_t>(734, 1000)));
  ASSERT_TRUE(WriteBytes(folder_ / "junk.wav", std::vector<uint8_t>(64, 'z')));
  // Something that is not a file is in the way all the same.
  ASSERT_TRUE(WriteMonoWave(folder_ / "odd.wav", tone));
  std::filesystem::create_directory(folder_ / "odd.dat");

  const struct {
    std::vector<std::string> arguments;
    std::string out;  // the start of it, for a written track
    int status;
    std::string err = "";
  } cases[] = {
      // An existing track is kept, and that is no failure.
      {{"taken.wav"}, "taken.wav: kept the existing taken.dat; --force replaces it\n", 0},
      {{"odd.wav"}, "odd.wav: kept the existing odd.dat; --force replaces it\n", 0},
      {{"junk.wav"}, "junk.wav: cannot handle this file\n", 1},
      {{"none.wav"}, "none.wav: none.wav: file not found\n", 1},
      {{"notes.txt"}, "notes.txt: give a WAVE file (a name ending in .wav)\n", 1},
      {{"junk.wav", "Take.WAV \t"},
       "junk.wav: cannot handle this file\nTake.WAV \t: wrote Take.dat: ", 1},
      // Less than a frame: an empty track, as the conversion writes an empty
      // parameter file.
      {{"tiny.wav"}, "tiny.wav: wrote tiny.dat: 0 frames, 0 voiced\n", 0},
      {{"--force", "taken.wav"}, "taken.wav: wrote taken.dat: ", 0},
      // Settings refused before any file is read.
      {{"--threshold", "0.3x", "a.wav"}, "", 2, "--threshold needs a number"},
      {{"--min-hz", "10", "a.wav"}, "", 2, "at least 20 Hz"},
      {{"--min-hz", "1001", "--max-hz", "4000", "a.wav"}, "", 2, "at most 1000 Hz"},
      {{"--max-hz", "9000", "a.wav"}, "", 2, "at most 5000 Hz"},
      {{"--min-hz", "400", "--max-hz", "420", "a.wav"}, "", 2, "above the lowest"},
      {{"--threshold", "0", "a.wav"}, "", 2, "voicing threshold"},
      {{"--threshold", "1.5", "a.wav"}, "", 2, "voicing threshold"},
      {{"--method", "yin", "a.wav"}, "", 2, "--method"},
  };
  for (const auto& c : cases) {
    if (c.arguments[0] == "--force") {
      EXPECT_EQ(ReadBytes(folder_ / "taken.dat"), (std::vector<uint8_t>{7, 7, 7}));
    }
    const ProcessResult result = Run(c.arguments);
    EXPECT_EQ(result.out.substr(0, c.out.size()), c.out) << c.arguments.back();
    EXPECT_EQ(result.status, c.status) << c.arguments.back();
    EXPECT_NE(result.err.find(c.err), std::string::npos) << result.err;
  }
  EXPECT_FALSE(Exists("junk.dat") || Exists("none.dat"));
  EXPECT_EQ(ReadBytes(folder_ / "Take.dat").size(), track_bytes);
  EXPECT_EQ(ReadBytes(folder_ / "taken.dat").size(), track_bytes);
  EXPECT_TRUE(Exists("tiny.dat"));
}

}  // namespace

}  // namespace kelditra
