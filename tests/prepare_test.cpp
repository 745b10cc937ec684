// kelditra prepare: the mix, the resampler, the rounding, the names, and the
// command end to end on recordings sox makes and on broken ones.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <numbers>

#include "job_fixtures.h"
#include "formats/wave_writer.h"
#include "io/platform_file.h"
#include "io/whole_file.h"
#include "prepare/prepared_names.h"
#include "prepare/sixteen_bits.h"
#include "prepare/sndfile_decoder.h"
#include "test_support.h"

namespace kelditra {

namespace {

// An IEEE float WAV file of interleaved frames.
std::vector<uint8_t> FloatWave(uint16_t channels, uint32_t rate, const std::vector<float>& frames) {
  std::vector<uint8_t> bytes;
  const auto put = [&](uint32_t value, int count) {
    for (int i = 0; i < count; ++i) bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
  };
  const auto id = [&](const char* text) { bytes.insert(bytes.end(), text, text + 4); };
  const auto data_bytes = static_cast<uint32_t>(frames.size() * 4);
  id("RIFF"), put(36 + data_bytes, 4), id("WAVE");
  id("fmt "), put(16, 4), put(3, 2), put(channels, 2), put(rate, 4);
  put(rate * channels * 4, 4), put(channels * 4, 2), put(32, 2);
  id("data"), put(data_bytes, 4);
  const size_t start = bytes.size();
  bytes.resize(start + data_bytes);
  std::memcpy(bytes.data() + start, frames.data(), data_bytes);
  return bytes;
}

std::vector<float> Sine(double hz, uint32_t rate, double seconds, double level) {
  std::vector<float> samples(static_cast<size_t>(rate * seconds));
  for (size_t i = 0; i < samples.size(); ++i) {
    samples[i] = static_cast<float>(level * std::sin(2 * std::numbers::pi * hz * i / rate));
  }
  return samples;
}

// The amplitude of the component at hz, through a Hann window over the
// middle of the sound (the sine's abrupt start and end left out).
double Amplitude(const std::vector<float>& samples, double hz) {
  const size_t margin = samples.size() / 8;
  const size_t length = samples.size() - 2 * margin;
  double re = 0, im = 0, weights = 0;
  for (size_t i = 0; i < length; ++i) {
    const double weight = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * i / length);
    const double angle = 2 * std::numbers::pi * hz * i / 44100;
    re += weight * samples[margin + i] * std::cos(angle);
    im += weight * samples[margin + i] * std::sin(angle);
    weights += weight;
  }
  return 2 * std::hypot(re, im) / weights;
}

DecodedSound Decode(const std::vector<uint8_t>& file) {
  DecodedSound sound;
  const PrepareFailure failure = DecodeRecordingInMemory(file.data(), file.size(), &sound);
  EXPECT_FALSE(failure.failed()) << static_cast<int>(failure.kind) << " " << failure.reason;
  return sound;
}

TEST(PrepareMix, AChannelSilentThroughoutIsLeftOutOfTheMean) {
  const std::vector<float> tone = Sine(440, 44100, 0.1, 0.5);
  const struct {
    const char* name;
    float left, right;  // each channel's share of the tone
    float expected;     // the mix's
    int32_t silent_channels;
  } cases[] = {
      {"left only", 1, 0, 1, 1},
      {"right only", 0, 1, 1, 1},
      {"both alike", 1, 1, 1, 0},
      {"one side louder", 1, 0.5f, 0.75f, 0},
      {"opposite phase", 1, -1, 0, 0},
  };
  for (const auto& c : cases) {
    std::vector<float> frames;
    for (const float value : tone) frames.insert(frames.end(), {value * c.left, value * c.right});
    const DecodedSound sound = Decode(FloatWave(2, 44100, frames));
    ASSERT_EQ(sound.samples.size(), tone.size()) << c.name;
    EXPECT_EQ(sound.silent_channels, c.silent_channels) << c.name;
    for (size_t i = 0; i < tone.size(); ++i) {
      ASSERT_NEAR(sound.samples[i], tone[i] * c.expected, 1e-6) << c.name << " sample " << i;
    }
  }
}

TEST(PrepareResampling, KeepsTheToneAndItsLevelAndFoldsNothingBack) {
  const struct {
    uint32_t rate;
    double hz;
    double expected_level;  // at hz in the output
  } cases[] = {
      {48000, 1000, 0.5},
      {22050, 1000, 0.5},
      {96000, 1000, 0.5},
      {48000, 19000, 0.5},  // high, but below 20 kHz: passed whole
      {48000, 23000, 0},    // above what 44100 Hz holds: must not come back at 21.1 kHz
      {96000, 30000, 0},    // would fold to 14.1 kHz
  };
  for (const auto& c : cases) {
    const DecodedSound sound = Decode(FloatWave(1, c.rate, Sine(c.hz, c.rate, 0.5, 0.5)));
    EXPECT_NEAR(static_cast<double>(sound.samples.size()), 0.5 * 44100, 2) << c.rate;
    const double heard_hz = c.hz < 22050 ? c.hz : 44100 - c.hz;
    EXPECT_NEAR(Amplitude(sound.samples, heard_hz), c.expected_level, 1e-4)
        << c.hz << " Hz from " << c.rate << " Hz";
    EXPECT_LT(Amplitude(sound.samples, heard_hz * 0.8), 1e-5) << c.hz;
  }
}

TEST(PrepareRounding, RoundsToTheNearestAndCountsWhatIsClipped) {
  const struct {
    float in;
    int16_t out;
    bool clipped;
  } cases[] = {
      {0, 0, false},
      {1.4f / 32768, 1, false},
      {1.6f / 32768, 2, false},
      {-1.6f / 32768, -2, false},
      {32767.4f / 32768, 32767, false},
      {32767.6f / 32768, 32767, true},
      {1.0f, 32767, true},
      {-1.0f, -32768, false},
      {-32768.6f / 32768, -32768, true},
      {3.0f, 32767, true},
      {-3.0f, -32768, true},
  };
  std::vector<float> samples;
  int64_t clipped = 0;
  for (const auto& c : cases) samples.push_back(c.in), clipped += c.clipped ? 1 : 0;
  EXPECT_EQ(RoundToSixteenBits(&samples), clipped);
  for (size_t i = 0; i < samples.size(); ++i) {
    EXPECT_EQ(SixteenBitValue(samples[i]), cases[i].out) << cases[i].in * 32768;
    EXPECT_EQ(samples[i], cases[i].out / 32768.0f);
  }
}

TEST(PrepareNames, TheRecordingKeepsItsNameAndTheMadeFileGetsItsOwn) {
  const struct {
    const char* recording;
    const char* folder;
    const char* made;
  } cases[] = {
      {"take.ogg", "", "take.wav"},
      {"take.WAV", "", "take-44100.wav"},
      {"a.b/take.flac", "", "a.b/take.wav"},
      {"a.b/take", "", "a.b/take.wav"},
      {".hidden", "", ".hidden.wav"},
      {"in/take.mp3", "out", "out/take.wav"},
      {"in/take.wav", "out/", "out/take-44100.wav"},
  };
  for (const auto& c : cases) EXPECT_EQ(PreparedWavePath(c.recording, c.folder), c.made);
}

// What prepare writes appears whole under a free name, or not at all.
TEST(NewFiles, AppearWholeUnderAFreeNameOrNotAtAll) {
  ScratchFolder folder;
  const std::vector<uint8_t> mine = {'m', 'i', 'n', 'e'};
  ASSERT_TRUE(WriteBytes(folder / "taken", mine));
  ASSERT_TRUE(WriteBytes(folder / "moved", {'n', 'e', 'w'}));
  EXPECT_EQ(MoveToFreeName((folder / "moved").c_str(), (folder / "taken").c_str()),
            CreateStatus::kExists);
  EXPECT_EQ(ReadBytes(folder / "taken"), mine);
  EXPECT_EQ(MoveToFreeName((folder / "moved").c_str(), (folder / "free").c_str()),
            CreateStatus::kCreated);
  EXPECT_EQ(ReadBytes(folder / "free"), (std::vector<uint8_t>{'n', 'e', 'w'}));

  const auto two_parts = [](const ByteSink& sink) { return sink("ab", 2) && sink("cd", 2); };
  EXPECT_EQ(WriteNewFile(folder / "taken", two_parts), NewFileStatus::kExists);
  EXPECT_EQ(WriteNewFile(folder / "half", [](const ByteSink& sink) { return !sink("ab", 2); }),
            NewFileStatus::kFailed);
  EXPECT_EQ(WriteNewFile(folder / "whole", two_parts), NewFileStatus::kWritten);
  EXPECT_EQ(ReadBytes(folder / "whole"), (std::vector<uint8_t>{'a', 'b', 'c', 'd'}));
  EXPECT_EQ(ReadBytes(folder / "taken"), mine);
  size_t files = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder.path())) {
    ++files;
  }
  EXPECT_EQ(files, 3u);  // taken, free, whole: no half file, no temporary one left
}

class PrepareCommand : public ::testing::Test {
 protected:
  ProcessResult Prepare(const std::vector<std::string>& files) {
    std::vector<std::string> arguments = {"prepare"};
    arguments.insert(arguments.end(), files.begin(), files.end());
    return RunProcess(KelditraPath(), arguments, folder_.path(), "C.UTF-8");
  }

  void Sox(const std::string& arguments) {
    const std::string sox = FindTool("sox");
    if (sox.empty()) GTEST_FAIL() << MissingTool("sox");
    ASSERT_EQ(std::system(("cd " + folder_.path() + " && " + sox + " -q " + arguments).c_str()), 0);
  }

  std::set<std::string> Files() const {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder_.path())) {
      names.insert(entry.path().filename().string());
    }
    return names;
  }

  ScratchFolder folder_;
};

// A 44100 Hz mono sound that the conversion refuses only for where its
// header lies comes back sample for sample, and what it reads beside it.
TEST_F(PrepareCommand, ASoundAlreadyAt44100HzComesBackUnchanged) {
  const std::vector<int16_t> samples = HarmonicSound(20, 220, {8000, 3000});
  std::vector<uint8_t> bytes = ReadBytes((WriteMonoWave(folder_ / "plain.wav", samples),
                                          folder_ / "plain.wav"));
  // A JUNK chunk pushes the samples past the conversion's 1024-byte window.
  const std::vector<uint8_t> junk = {'J', 'U', 'N', 'K', 0, 8, 0, 0};
  bytes.insert(bytes.begin() + 12, junk.begin(), junk.end());
  bytes.insert(bytes.begin() + 20, 2048, 0);
  const uint32_t riff_length = static_cast<uint32_t>(bytes.size() - 8);
  std::memcpy(bytes.data() + 4, &riff_length, 4);
  ASSERT_TRUE(WriteBytes(folder_ / "late.wav", bytes));

  const ProcessResult made = Prepare({"late.wav", "plain.wav"});
  ASSERT_EQ(made.status, 0) << made.out << made.err;
  EXPECT_NE(made.out.find("late.wav: wrote late-44100.wav and late-44100.dat: 0.3 s from 44100 "
                          "Hz, 1 channel(s); 20 frames"),
            std::string::npos)
      << made.out;
  EXPECT_NE(made.out.find("plain.wav: read as it is; wrote plain.dat: 20 frames"),
            std::string::npos)
      << made.out;
  EXPECT_EQ(ReadBytes(folder_ / "late-44100.wav"), ReadBytes(folder_ / "plain.wav"));
  EXPECT_EQ(ReadBytes(folder_ / "late-44100.dat"), ReadBytes(folder_ / "plain.dat"));
  EXPECT_EQ(ReadBytes(folder_ / "late.wav"), bytes);
}

TEST_F(PrepareCommand, NeverReplacesAFileNorTouchesTheRecording) {
  Sox("-n -r 48000 -c 2 take.ogg synth 0.3 sine 300");
  const std::vector<uint8_t> recording = ReadBytes(folder_ / "take.ogg");
  for (const char* taken : {"take.wav", "take.dat"}) {
    ASSERT_TRUE(WriteBytes(folder_ / taken, {'m', 'i', 'n', 'e'}));
    const std::set<std::string> before = Files();
    const ProcessResult refused = Prepare({"take.ogg"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.out, "take.ogg: a file of that name is already there\n");
    EXPECT_NE(refused.err.find(std::string(taken) + " is already there, and kelditra prepare "
                               "never replaces a file"),
              std::string::npos)
        << refused.err;
    EXPECT_EQ(Files(), before);
    EXPECT_EQ(ReadBytes(folder_ / taken), (std::vector<uint8_t>{'m', 'i', 'n', 'e'}));
    std::filesystem::remove(folder_ / taken);
  }
  ASSERT_EQ(Prepare({"take.ogg"}).status, 0);
  EXPECT_EQ(ReadBytes(folder_ / "take.ogg"), recording);
  EXPECT_EQ(Files(), (std::set<std::string>{"take.ogg", "take.wav", "take.dat"}));
}

// The refusal of a recording leads to prepare, and prepare to the conversion.
TEST_F(PrepareCommand, FromARecordingToABinInTwoCommands) {
  Sox("-n -r 48000 -c 2 take.ogg synth 0.5 sawtooth 220 vol 0.5");
  const auto run = [&](std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"--table", LiveTablePath()});
    return RunProcess(KelditraPath(), arguments, folder_.path(), "C.UTF-8");
  };
  const ProcessResult refused = run({"take.ogg"});
  EXPECT_NE(refused.err.find("take.ogg is not a WAV file: prepare the recording with: kelditra "
                             "prepare take.ogg, then convert the take.wav it writes"),
            std::string::npos)
      << refused.err;
  const ProcessResult prepared = Prepare({"take.ogg"});
  EXPECT_NE(prepared.out.find("; next: kelditra take.wav\n"), std::string::npos) << prepared.out;
  const ProcessResult converted = run({"take.wav"});
  EXPECT_EQ(converted.out, "take.wav: finished\n");
  EXPECT_EQ(converted.err, "");
  EXPECT_EQ(ReadRecords(folder_ / "take.bin").size(), 30u);
}

// Each ends in one line and a detail, and leaves nothing behind.
TEST_F(PrepareCommand, RefusesWhatCannotBePreparedAndWritesNothing) {
  Sox("-n -r 48000 whole.ogg synth 2 sine 300 vol 0.5");
  Sox("-n -r 48000 whole.mp3 synth 2 sine 300");
  Sox("-n -r 48000 whole.wav synth 2 sine 300");
  Sox("-n -r 48000 none.flac trim 0 0");
  Sox("-n -r 8000 blip.wav synth 0.001 sine 300");
  const auto cut = [&](const std::string& from, const std::string& to) {
    std::vector<uint8_t> bytes = ReadBytes(folder_ / from);
    bytes.resize(bytes.size() * 2 / 3);
    ASSERT_TRUE(WriteBytes(folder_ / to, bytes));
  };
  cut("whole.ogg", "cut-ogg.ogg");
  cut("whole.mp3", "cut-mp3.mp3");
  cut("whole.wav", "cut.wav");
  std::vector<uint8_t> headers = ReadBytes(folder_ / "whole.ogg");
  headers.resize(2000);
  ASSERT_TRUE(WriteBytes(folder_ / "headers.ogg", headers));
  ASSERT_TRUE(WriteBytes(folder_ / "noise.ogg", std::vector<uint8_t>(3000, 0x5A)));
  // Three hours at 4000 Hz: a sparse file of 86 MB.
  const uint32_t three_hours = 3 * 3600 * 8000;
  ASSERT_TRUE(WriteBytes(folder_ / "long.wav", MonoWaveHeader(three_hours / 2, 4000)));
  std::filesystem::resize_file(folder_ / "long.wav", 44 + three_hours);
  std::filesystem::create_directory(folder_ / "folder.ogg");
  ASSERT_EQ(mkfifo((folder_ / "fifo.ogg").c_str(), 0600), 0);
  const struct {
    const char* file;
    const char* message;
    const char* detail;
  } cases[] = {
      {"cut-ogg.ogg", "the recording is damaged", "cut-ogg.ogg could "},
      {"cut-mp3.mp3", "the recording is damaged", "cut-mp3.mp3 could be read for 1."},
      {"cut.wav", "the recording is damaged", "cut.wav could be read for 1.3 s only"},
      {"noise.ogg", "not a recording kelditra reads", "no decoder reads noise.ogg"},
      {"headers.ogg", "not a recording kelditra reads", "no decoder reads headers.ogg (Supported"},
      {"long.wav", "the recording is too long",
       "long.wav lasts 3 h 00 min 00 s, more than the 72 min 49 s one conversion holds"},
      {"none.flac", "the recording is empty", "none.flac holds no samples"},
      {"blip.wav", "the recording is too short", "blip.wav lasts less than one frame"},
      {"folder.ogg", "cannot read the recording", "folder.ogg is not a regular file"},
      {"fifo.ogg", "cannot read the recording", "fifo.ogg is not a regular file"},
      {"gone.ogg", "cannot read the recording", "gone.ogg does not exist"},
  };
  const std::set<std::string> before = Files();
  for (const auto& c : cases) {
    const ProcessResult refused = Prepare({c.file});
    EXPECT_EQ(refused.status, 1) << c.file;
    EXPECT_EQ(refused.out, std::string(c.file) + ": " + c.message + "\n");
    EXPECT_NE(refused.err.find("kelditra: " + std::string(c.detail)), std::string::npos)
        << refused.err;
    EXPECT_EQ(Files(), before) << c.file;
  }
}

}  // namespace

}  // namespace kelditra
