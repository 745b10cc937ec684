#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fixture_files.h"
#include "io/pool.h"
#include "io/whole_file.h"
#include "resources/messages.h"
#include "test_support.h"

namespace kelditra {

namespace {

class PoolAndFiles : public ::testing::Test {
 protected:
  void TearDown() override { PoolAlloc(0); }
  ScratchFolder folder_;
};

// A request past the last slot gets nothing and disturbs nothing; a release
// empties the pool, and an empty pool stays empty.
TEST_F(PoolAndFiles, SlotsFillToTheLastAndAReleaseEmptiesThem) {
  EXPECT_EQ(PoolAlloc(0), nullptr);
  std::vector<uint8_t*> blocks;
  for (int i = 0; i < kPoolSlots; ++i) {
    blocks.push_back(static_cast<uint8_t*>(PoolAlloc(8)));
    blocks.back()[0] = static_cast<uint8_t>(i);
  }
  EXPECT_EQ(PoolAlloc(8), nullptr);
  EXPECT_EQ(PoolBlockCount(), kPoolSlots);
  for (int i = 0; i < kPoolSlots; ++i) EXPECT_EQ(blocks[i][0], static_cast<uint8_t>(i));
  EXPECT_EQ(PoolAlloc(0), nullptr);
  EXPECT_EQ(PoolBlockCount(), 0);
}

// The loaded bytes and then exactly `extra` zeros, on pool memory dirtied
// first, so that the zeros must come from the loader.
TEST_F(PoolAndFiles, LoadAppendsTheExtraZeroBytes) {
  const std::vector<uint8_t> ten = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  const std::pair<std::vector<uint8_t>, uint32_t> cases[] = {{ten, 4096}, {ten, 0}, {{}, 4096}};
  for (const auto& [content, extra] : cases) {
    ASSERT_TRUE(WriteBytes(folder_ / "file.dat", content));
    auto* dirty = static_cast<uint8_t*>(PoolAlloc(8192));
    std::fill(dirty, dirty + 8192, 0xAB);
    PoolAlloc(0);
    uint8_t* block = nullptr;
    int32_t length = -7;
    ASSERT_FALSE(LoadFile(folder_ / "file.dat", extra, &block, &length));
    EXPECT_EQ(length, static_cast<int32_t>(content.size()));
    ASSERT_NE(block, nullptr);
    std::vector<uint8_t> expected = content;
    expected.resize(content.size() + extra, 0);
    EXPECT_EQ(std::vector<uint8_t>(block, block + expected.size()), expected);
  }
}

TEST(Messages, ShiftJisStoreConvertsToTheJapaneseTexts) {
  // In the order of MessageId.
  const char* const texts[] = {
      utf8::kNoPerformanceCounter, utf8::kNotWaveFile,  utf8::kFileNotFoundSuffix,
      utf8::kCannotOpen,           utf8::kNoMemory,     utf8::kReadError,
      utf8::kUnsupportedWave,      utf8::kBadDataLength, utf8::kNot44100Hz,
      utf8::kNotMono16Bit,         utf8::kCancelled,    utf8::kWriteFailed,
      utf8::kFinished,             utf8::kBadVoiceTableSize, utf8::kWaveTooLong,
      utf8::kProgressPrefix,
  };
  ASSERT_EQ(std::size(texts), static_cast<size_t>(kMessageCount));
  for (int i = 0; i < kMessageCount; ++i) {
    EXPECT_EQ(MessageText(static_cast<MessageId>(i)), texts[i]);
  }
  // The 0x5C trail byte of 能 must not be taken for a backslash.
  EXPECT_NE(std::string(ShiftJisText(MessageId::kNoPerformanceCounter)).find("\x94\x5c"),
            std::string::npos);
}

}  // namespace

}  // namespace kelditra
