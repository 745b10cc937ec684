#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "fixture_files.h"
#include "formats/pitch_track.h"
#include "pitch/pitch_tracker.h"
#include "test_support.h"

namespace {

// A spoken sentence made at test time, its track checked against a detector
// that shares no code with ours: aubio's time-domain YIN, run through its own
// command-line tool.

constexpr const char* kSentence =
    "Every morning the old sailor sang a gentle melody. Would you like to hear it again?";

// One fundamental per 735-sample hop; 0 where aubio says none or names one
// outside our default range. Row r analyses the 2048 samples that end with
// hop r, so row j + 1 is centred 79 samples after our frame j's centre.
std::vector<double> AubioYinTrack(const std::string& aubiopitch, const std::string& wave) {
  const ProcessResult result =
      RunProcess(aubiopitch, {"-i", wave, "-p", "yin", "-B", "2048", "-H", "735", "-s", "-90"});
  EXPECT_EQ(result.status, 0) << result.err;
  std::vector<double> rows;
  std::stringstream lines(result.out);
  double seconds = 0;
  double hz = 0;
  while (lines >> seconds >> hz) rows.push_back(hz >= 60 && hz <= 1000 ? hz : 0);
  if (!rows.empty()) rows.erase(rows.begin());
  return rows;
}

class PitchSpeech : public ::testing::TestWithParam<std::tuple<const char*, PitchMethod>> {};

TEST_P(PitchSpeech, VoicedFramesAgreeWithAubioYinWithinASemitone) {
  const auto [voice, method] = GetParam();
  if (!PitchMethodAvailable(method)) GTEST_SKIP() << "built without " << PitchMethodName(method);
  const std::string espeak = FindTool("espeak-ng");
  const std::string sox = FindTool("sox");
  const std::string aubiopitch = FindTool("aubiopitch");
  if (espeak.empty()) GTEST_FAIL() << MissingTool("espeak-ng");
  if (sox.empty()) GTEST_FAIL() << MissingTool("sox");
  if (aubiopitch.empty()) GTEST_FAIL() << MissingTool("aubiopitch");

  ScratchFolder folder;
  ASSERT_EQ(RunProcess(espeak, {"-v", voice, "-w", folder / "raw.wav", kSentence}).status, 0);
  ASSERT_EQ(RunProcess(sox, {folder / "raw.wav", "-r", "44100", "-b", "16", "-c", "1",
                             folder / "speech.wav"})
                .status,
            0);
  const ProcessResult made = RunProcess(
      KelditraPath(), {"pitch", "--method", PitchMethodName(method), "speech.wav"}, folder.path());
  ASSERT_EQ(made.status, 0) << made.out;

  const std::vector<uint8_t> track = ReadBytes(folder / "speech.dat");
  const std::vector<double> reference = AubioYinTrack(aubiopitch, folder / "speech.wav");
  const int frames = static_cast<int>(std::min(track.size() / kPitchRecordBytes, reference.size()));
  int both_voiced = 0;
  int within_semitone = 0;
  for (int frame = 0; frame < frames; ++frame) {
    const int32_t ours = FrameFundamental(track.data(), static_cast<int32_t>(track.size()), frame);
    if (ours == 0 || reference[frame] == 0) continue;
    ++both_voiced;
    within_semitone += std::abs(1200 * std::log2(ours / reference[frame])) <= 100 ? 1 : 0;
  }
  // About half of a spoken sentence is voiced; a track that gave up on most
  // of it would agree on too little to tell.
  EXPECT_GE(both_voiced, 0.3 * frames) << "of " << frames;
  EXPECT_GE(within_semitone, 0.9 * both_voiced) << "of " << both_voiced;
}

INSTANTIATE_TEST_SUITE_P(Voices, PitchSpeech,
                         ::testing::Combine(::testing::Values("en+m3", "en+f3"),
                                            ::testing::Values(PitchMethod::kAubioYinFft,
                                                              PitchMethod::kYin)),
                         [](const auto& info) {
                           std::string name = std::get<0>(info.param);
                           name[name.find('+')] = '_';
                           return name + "_" + PitchMethodName(std::get<1>(info.param));
                         });

}  // namespace
