#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "fixture_files.h"
#include "io/pool.h"
#include "io/whole_file.h"
#include "resources/messages.h"
#include "test_support.h"

namespace {

struct Loaded {
  std::string message;
  uint8_t* block = nullptr;
  int32_t length = -7;
};

Loaded Load(const std::string& path, uint32_t extra) {
  Loaded loaded;
  loaded.message = LoadFile(path, extra, &loaded.block, &loaded.length);
  return loaded;
}

class PoolAndFiles : public ::testing::Test {
 protected:
  void TearDown() override { PoolAlloc(0); }
  ScratchFolder folder_;
};

TEST_F(PoolAndFiles, ReleaseEmptiesThePoolAndAnEmptyPoolStaysEmpty) {
  EXPECT_EQ(PoolAlloc(0), nullptr);
  EXPECT_EQ(PoolBlockCount(), 0);
  for (int i = 0; i < 3; ++i) EXPECT_NE(PoolAlloc(16), nullptr);
  EXPECT_EQ(PoolBlockCount(), 3);
  EXPECT_EQ(PoolAlloc(0), nullptr);
  EXPECT_EQ(PoolBlockCount(), 0);
}

TEST_F(PoolAndFiles, RequestsBeyondTheLastSlotGetNothingAndDisturbNothing) {
  std::vector<uint8_t*> blocks;
  for (int i = 0; i < kPoolSlots; ++i) {
    blocks.push_back(static_cast<uint8_t*>(PoolAlloc(8)));
    blocks.back()[0] = static_cast<uint8_t>(i);
  }
  EXPECT_EQ(PoolAlloc(8), nullptr);
  EXPECT_EQ(PoolBlockCount(), kPoolSlots);
  for (int i = 0; i < kPoolSlots; ++i) EXPECT_EQ(blocks[i][0], static_cast<uint8_t>(i));
}

TEST_F(PoolAndFiles, LoadAppendsExactlyTheExtraZeroBytes) {
  const std::vector<uint8_t> content = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  ASSERT_TRUE(WriteBytes(folder_ / "ten.dat", content));
  // Dirty pool memory first, so zeros must come from the loader.
  auto* dirty = static_cast<uint8_t*>(PoolAlloc(8192));
  std::fill(dirty, dirty + 8192, 0xAB);
  PoolAlloc(0);

  const Loaded loaded = Load(folder_ / "ten.dat", 4096);
  ASSERT_EQ(loaded.message, "");
  EXPECT_EQ(loaded.length, 10);
  EXPECT_TRUE(std::equal(content.begin(), content.end(), loaded.block));
  for (int i = 10; i < 4106; ++i) ASSERT_EQ(loaded.block[i], 0) << i;
}

TEST_F(PoolAndFiles, EmptyFiles) {
  ASSERT_TRUE(WriteBytes(folder_ / "empty.dat", {}));

  const Loaded with_extra = Load(folder_ / "empty.dat", 4096);
  EXPECT_EQ(with_extra.message, "");
  EXPECT_EQ(with_extra.length, 0);
  ASSERT_NE(with_extra.block, nullptr);
  for (int i = 0; i < 4096; ++i) ASSERT_EQ(with_extra.block[i], 0);

  // Zero bytes asked of the pool release it: an empty table is "no memory".
  const Loaded without_extra = Load(folder_ / "empty.dat", 0);
  EXPECT_EQ(without_extra.message, MessageText(MessageId::kNoMemory));
  EXPECT_EQ(without_extra.length, 0);
  EXPECT_EQ(without_extra.block, nullptr);
  EXPECT_EQ(PoolBlockCount(), 0);
}

TEST_F(PoolAndFiles, OpenFailuresAreToldApart) {
  const std::string missing = folder_ / "missing.dat";
  const std::string long_path = folder_.path() + "/" + std::string(260, 'x');
  ASSERT_TRUE(WriteBytes(folder_ / "file.dat", {1}));
  ASSERT_EQ(mkfifo((folder_ / "fifo.wav").c_str(), 0600), 0);
  const struct {
    std::string path;
    std::string expected;
  } cases[] = {
      {missing, missing + utf8::kFileNotFoundSuffix},
      {folder_ / "no-such-folder/missing.dat", utf8::kCannotOpen},
      {folder_ / "file.dat/inside.dat", utf8::kCannotOpen},
      {long_path, utf8::kCannotOpen},
      {folder_.path(), utf8::kCannotOpen},
      {folder_ / "fifo.wav", utf8::kCannotOpen},
  };
  for (const auto& c : cases) {
    const Loaded loaded = Load(c.path, 4096);
    EXPECT_EQ(loaded.message, c.expected) << c.path;
    EXPECT_EQ(loaded.length, -7) << "length written for " << c.path;
    EXPECT_EQ(loaded.block, nullptr);
  }
  EXPECT_EQ(PoolBlockCount(), 0);
}

TEST_F(PoolAndFiles, SaveReplacesWholeAndRefusesWhatItCannotCreate) {
  const std::string path = folder_ / "out.bin";
  ASSERT_TRUE(WriteBytes(path, std::vector<uint8_t>(100, 0xEE)));
  EXPECT_EQ(SaveFile("abc", 3, path), 0);
  EXPECT_EQ(ReadBytes(path), (std::vector<uint8_t>{'a', 'b', 'c'}));

  EXPECT_EQ(SaveFile("abc", 0, path), 0);
  EXPECT_TRUE(ReadBytes(path).empty());

  EXPECT_EQ(SaveFile("abc", 3, folder_ / "no-such-folder/out.bin"), 1);
  EXPECT_EQ(SaveFile("abc", 3, folder_.path()), 1);
  // 260 bytes is one past the longest path (259 works, as the conversions show).
  const std::string too_long = folder_ / std::string(259 - folder_.path().size(), 'z');
  ASSERT_EQ(too_long.size(), 260u);
  EXPECT_EQ(SaveFile("abc", 3, too_long), 1);

  // A file without write permission stays as it is, even for root.
  ASSERT_TRUE(WriteBytes(path, {9, 9}));
  ASSERT_EQ(chmod(path.c_str(), 0444), 0);
  EXPECT_EQ(SaveFile("abc", 3, path), 1);
  EXPECT_EQ(ReadBytes(path), (std::vector<uint8_t>{9, 9}));
}

TEST(Messages, ShiftJisStoreConvertsToTheJapaneseTexts) {
  const struct {
    MessageId id;
    const char* text;
  } cases[] = {
      {MessageId::kNoPerformanceCounter, utf8::kNoPerformanceCounter},
      {MessageId::kNotWaveFile, utf8::kNotWaveFile},
      {MessageId::kFileNotFoundSuffix, utf8::kFileNotFoundSuffix},
      {MessageId::kCannotOpen, utf8::kCannotOpen},
      {MessageId::kNoMemory, utf8::kNoMemory},
      {MessageId::kReadError, utf8::kReadError},
      {MessageId::kUnsupportedWave, utf8::kUnsupportedWave},
      {MessageId::kBadDataLength, utf8::kBadDataLength},
      {MessageId::kNot44100Hz, utf8::kNot44100Hz},
      {MessageId::kNotMono16Bit, utf8::kNotMono16Bit},
      {MessageId::kCancelled, utf8::kCancelled},
      {MessageId::kWriteFailed, utf8::kWriteFailed},
      {MessageId::kFinished, utf8::kFinished},
      {MessageId::kBadVoiceTableSize, utf8::kBadVoiceTableSize},
      {MessageId::kWaveTooLong, utf8::kWaveTooLong},
      {MessageId::kProgressPrefix, utf8::kProgressPrefix},
  };
  ASSERT_EQ(std::size(cases), static_cast<size_t>(kMessageCount));
  for (const auto& c : cases) {
    EXPECT_EQ(MessageText(c.id), c.text);
    EXPECT_EQ(ShiftJisToUtf8(ShiftJisText(c.id)), c.text);
  }
  // The 0x5C trail byte of 能 must not be taken for a backslash.
  EXPECT_NE(std::string(ShiftJisText(MessageId::kNoPerformanceCounter)).find("\x94\x5c"),
            std::string::npos);
}

}  // namespace
