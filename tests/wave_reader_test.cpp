#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "fixture_files.h"
#include "formats/wave_reader.h"
#include "test_support.h"

namespace kelditra {

namespace {

// A WAV file assembled chunk by chunk, so each case says what is unusual.
class WaveBytes {
 public:
  WaveBytes& Id(const char* id) {
    for (int i = 0; i < 4; ++i) bytes_.push_back(static_cast<uint8_t>(id[i]));
    return *this;
  }
  WaveBytes& U16(uint32_t value) { return Little(value, 2); }
  WaveBytes& U32(uint32_t value) { return Little(value, 4); }
  WaveBytes& Zeros(size_t count) {
    bytes_.insert(bytes_.end(), count, 0);
    return *this;
  }
  WaveBytes& Fmt(uint32_t size, uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits) {
    Id("fmt ").U32(size).U16(tag).U16(channels).U32(rate).U32(rate * channels * bits / 8);
    U16(channels * bits / 8).U16(bits);
    return Zeros(size - 16);
  }
  WaveBytes& Data(uint32_t declared, size_t present) {
    Id("data").U32(declared);
    for (size_t i = 0; i < present; ++i) bytes_.push_back(static_cast<uint8_t>(i * 7 + 1));
    return *this;
  }
  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  WaveBytes& Little(uint32_t value, int count) {
    for (int i = 0; i < count; ++i) bytes_.push_back(static_cast<uint8_t>(value >> (8 * i)));
    return *this;
  }
  std::vector<uint8_t> bytes_;
};

// RIFF header, "WAVE", the usual fmt chunk.
WaveBytes Canonical(uint16_t channels = 1, uint32_t rate = 44100, uint16_t bits = 16,
                    uint16_t tag = 1) {
  return WaveBytes().Id("RIFF").U32(0).Id("WAVE").Fmt(16, tag, channels, rate, bits);
}

struct Reading {
  FailureKind refusal = FailureKind::kNone;
  int64_t data_offset = -1;
  int32_t count = -1;
};

// As a job reads it: the file's bytes followed by the loader's zero bytes.
Reading Read(const std::vector<uint8_t>& file) {
  std::vector<uint8_t> block(file);
  block.resize(file.size() + kWaveExtraBytes, 0);
  WaveSamples samples;
  Reading reading;
  reading.refusal = ReadWave(block.data(), static_cast<int32_t>(file.size()), &samples).kind;
  if (reading.refusal == FailureKind::kNone) {
    reading.data_offset = samples.data - block.data();
    reading.count = samples.count;
  }
  return reading;
}

TEST(WaveReader, ByteLayouts) {
  const auto riff = [] { return WaveBytes().Id("RIFF").U32(0).Id("WAVE"); };
  const struct {
    const char* name;
    WaveBytes file;
    FailureKind refusal;
    int64_t data_offset = -1;
    int32_t count = -1;
  } cases[] = {
      {"canonical", Canonical().Data(200, 200), FailureKind::kNone, 44, 100},
      {"no RIFF, WAVE at 8",
       WaveBytes().Id("JUNK").U32(0).Id("WAVE").Fmt(16, 1, 1, 44100, 16).Data(10, 10), FailureKind::kNone, 44, 5},
      {"data header at byte 1024",
       Canonical().Id("LIST").U32(1024 - 44).Zeros(1024 - 44).Data(8, 8), FailureKind::kUnsupportedWave},
      {"data header at byte 1023",
       Canonical().Id("LIST").U32(1023 - 44).Zeros(1023 - 44).Data(8, 8), FailureKind::kNone, 1031, 4},
      {"data before fmt", riff().Data(8, 8).Fmt(16, 1, 1, 44100, 16), FailureKind::kUnsupportedWave},
      {"odd chunk with pad byte before data", Canonical().Id("odd ").U32(3).Zeros(4).Data(8, 8),
       FailureKind::kUnsupportedWave},
      {"fmt of size 40", riff().Fmt(40, 1, 1, 44100, 16).Data(4, 4), FailureKind::kNone, 68, 2},
      {"no WAVE mark",
       WaveBytes().Id("RIFF").U32(0).Id("AVI ").Fmt(16, 1, 1, 44100, 16).Data(4, 4),
       FailureKind::kUnsupportedWave},
      {"WAVE only at offset 0 is not seen",
       WaveBytes().Id("WAVE").Fmt(16, 1, 1, 44100, 16).Data(4, 4), FailureKind::kUnsupportedWave},
      {"no fmt", riff().Data(4, 4).Zeros(16), FailureKind::kUnsupportedWave},
      {"float", Canonical(1, 44100, 16, 3).Data(4, 4), FailureKind::kUnsupportedWave},
      {"24-bit", Canonical(1, 44100, 24).Data(6, 6), FailureKind::kUnsupportedWave},
      {"3 channels", Canonical(3, 44100, 16).Data(6, 6), FailureKind::kUnsupportedWave},
      {"stereo 48000: the rate is tested first", Canonical(2, 48000, 16).Data(8, 8),
       FailureKind::kNot44100Hz},
      {"length checked before the rate", Canonical(1, 48000, 16).Data(101, 100),
       FailureKind::kBadDataLength},
      {"declared shorter than what follows", Canonical().Data(6, 6).Id("LIST").U32(4).Zeros(4),
       FailureKind::kNone, 44, 3},
      {"odd data length", Canonical().Data(7, 7), FailureKind::kNone, 44, 3},
      {"zero data", Canonical().Data(0, 0), FailureKind::kNone, 44, 0},
  };
  for (const auto& c : cases) {
    const Reading reading = Read(c.file.bytes());
    EXPECT_EQ(reading.refusal, c.refusal) << c.name;
    EXPECT_EQ(reading.data_offset, c.data_offset) << c.name;
    EXPECT_EQ(reading.count, c.count) << c.name;
  }
}

// The detail line's walk over the same files: from the RIFF header on, as far
// as the bytes go (past the reader's window), taking a "fmt " chunk only when
// its fields are there. A refusal carries what it found.
TEST(WaveReader, DescribingWalk) {
  const auto riff = [] { return WaveBytes().Id("RIFF").U32(0).Id("WAVE"); };
  const struct {
    const char* name;
    WaveBytes file;
    bool riff_wave;
    int64_t format_chunk, data_chunk;
  } cases[] = {
      {"canonical", Canonical().Data(200, 200), true, 12, 36},
      {"no RIFF, WAVE at 8",
       WaveBytes().Id("JUNK").U32(0).Id("WAVE").Fmt(16, 1, 1, 44100, 16).Data(10, 10), false, -1,
       -1},
      {"data header at byte 1024",
       Canonical().Id("LIST").U32(1024 - 44).Zeros(1024 - 44).Data(8, 8), true, 12, 1024},
      {"data before fmt", riff().Data(8, 8).Fmt(16, 1, 1, 44100, 16), true, 28, -1},
      {"fmt cut short", riff().Id("fmt ").U32(16).U16(1).U16(1), true, -1, -1},
      {"data header cut short", Canonical().Id("data").U16(0), true, 12, -1},
  };
  for (const auto& c : cases) {
    const std::vector<uint8_t>& bytes = c.file.bytes();
    const auto size = static_cast<int64_t>(bytes.size());
    const WaveDescription found = DescribeWave(bytes.data(), size, size);
    EXPECT_EQ(found.riff_wave, c.riff_wave) << c.name;
    EXPECT_EQ(found.format_chunk, c.format_chunk) << c.name;
    EXPECT_EQ(found.data_chunk, c.data_chunk) << c.name;
  }

  std::vector<uint8_t> block = Canonical(2, 48000, 16).Data(8, 7).bytes();
  const auto length = static_cast<int32_t>(block.size());
  block.resize(block.size() + kWaveExtraBytes);
  WaveSamples samples;
  const Failure refusal = ReadWave(block.data(), length, &samples);
  EXPECT_EQ(refusal.kind, FailureKind::kBadDataLength);
  EXPECT_EQ(refusal.wave.channels, 2);
  EXPECT_EQ(refusal.wave.sample_rate, 48000u);
  EXPECT_EQ(refusal.wave.declared_data_bytes, 8);
  EXPECT_EQ(refusal.wave.present_data_bytes, 7);
}

// Files written by a real audio tool, not by our own writer.
TEST(WaveReaderOnToolFiles, RefusalsAndAcceptance) {
  const std::string sox = FindTool("sox");
  if (sox.empty()) GTEST_FAIL() << MissingTool("sox");
  const struct {
    const char* name;
    const char* format;
    FailureKind refusal;
  } cases[] = {
      {"good.wav", "-r 44100 -b 16 -c 1 -e signed-integer", FailureKind::kNone},
      {"24bit.wav", "-r 44100 -b 24 -c 1 -e signed-integer", FailureKind::kUnsupportedWave},
  };
  ScratchFolder folder;
  for (const auto& c : cases) {
    const std::string path = folder / c.name;
    const std::string command = sox + " -n -q " + c.format + " " + path + " synth 0.1 sine 440";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const Reading reading = Read(ReadBytes(path));
    EXPECT_EQ(reading.refusal, c.refusal) << c.name;
    EXPECT_EQ(reading.count, c.refusal == FailureKind::kNone ? 4410 : -1) << c.name;
  }
}

}  // namespace

}  // namespace kelditra
