#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "job_fixtures.h"
#include "test_support.h"

namespace kelditra {

namespace {

// A WAV file of any format, with a JUNK chunk of junk bytes before "fmt ".
std::vector<uint8_t> WaveBytes(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits,
                               uint32_t data_bytes, uint32_t junk = 0) {
  std::vector<uint8_t> bytes;
  const auto put = [&](uint32_t value, int count) {
    for (int i = 0; i < count; ++i) bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
  };
  const auto id = [&](const char* text) { bytes.insert(bytes.end(), text, text + 4); };
  id("RIFF"), put(36 + junk + data_bytes, 4), id("WAVE");
  if (junk > 0) id("JUNK"), put(junk, 4), bytes.resize(bytes.size() + junk);
  id("fmt "), put(16, 4), put(tag, 2), put(channels, 2), put(rate, 4);
  put(rate * channels * bits / 8, 4), put(channels * bits / 8, 2), put(bits, 2);
  id("data"), put(data_bytes, 4), bytes.resize(bytes.size() + data_bytes);
  return bytes;
}

class CommandLine : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::copy_file(LiveTablePath(), folder_ / "fm_table2.dat");
    ASSERT_TRUE(WriteMonoWave(folder_ / "good.wav", HarmonicSound(5, 220, {5000})));
    ASSERT_TRUE(WritePitchTrack(folder_ / "good.dat", std::vector<uint16_t>(5, 220)));
    ASSERT_TRUE(WriteBytes(folder_ / "bad.wav", std::vector<uint8_t>(64, 'z')));
    ASSERT_TRUE(WriteBytes(folder_ / "bad.dat", {}));
  }

  ProcessResult Run(const std::vector<std::string>& arguments,
                    const std::string& locale = "C.UTF-8") {
    return RunProcess(KelditraPath(), arguments, folder_.path(), locale);
  }

  ScratchFolder folder_;
};

// Each failure, and each conversion that went through on doubtful input, gets one more line
// on stderr: what was found and what to do, in the user's language.
TEST_F(CommandLine, EveryFailureSaysWhatWasFoundAndWhatToDo) {
  const std::vector<uint8_t> good = ReadBytes(folder_ / "good.wav");
  const uint32_t five_frames = 5 * 735 * 2;
  const struct {
    std::string name;
    std::vector<uint8_t> wave;
    int track_frames;  // -1: none
    std::vector<std::string> options;
    std::string out_en;  // after "NAME.wav: "
    std::string err_en;  // a part of it
    std::string err_ja;
    int status;
  } cases[] = {
      {"rate", WaveBytes(1, 1, 22050, 16, five_frames), 5, {}, "not 44100 Hz",
       "rate.wav is PCM (format tag 1), 1 channel(s), 16 bits, 22050 Hz; kelditra reads PCM, "
       "44100 Hz, 16 bits, mono; prepare it with: kelditra prepare rate.wav (or: sox rate.wav -r "
       "44100 -c 1 -b 16 rate-44100.wav)",
       "rate.wav は PCM（形式タグ 1）、1 チャンネル、16 ビット、22050 Hz です。", 1},
      {"float", WaveBytes(3, 1, 44100, 32, 2 * five_frames), 5, {}, "cannot handle this file",
       "float.wav is IEEE float (format tag 3), 1 channel(s), 32 bits, 44100 Hz",
       "float.wav は IEEE float（形式タグ 3）", 1},
      {"junk", WaveBytes(1, 1, 44100, 16, five_frames, 2048), 5, {}, "cannot handle this file",
       "the header of junk.wav takes 2100 bytes (its data chunk starts at byte 2092), but it must "
       "lie in the first 1024; prepare it with: kelditra prepare junk.wav",
       "先頭 1024 バイトに収まっていません", 1},
      {"notrack", good, -1, {}, "notrack.dat: file not found",
       "no pitch track notrack.dat for notrack.wav; make one with: kelditra pitch notrack.wav",
       "作るには：kelditra pitch notrack.wav", 1},
      {"stereo", WaveBytes(1, 2, 48000, 24, five_frames), -1, {}, "stereo.dat: file not found",
       "no pitch track stereo.dat, and stereo.wav is PCM (format tag 1), 2 channel(s), 24 bits, "
       "48000 Hz; kelditra reads PCM, 44100 Hz, 16 bits, mono; prepare it with: kelditra prepare "
       "stereo.wav",
       "ピッチトラック stereo.dat がありません。また、stereo.wav は PCM", 1},
      {"table", good, 5, {"--table", "/nonexistent"}, "/nonexistent: file not found",
       "no voice table /nonexistent: check the path given with --table",
       "音色テーブル /nonexistent がありません：--table", 1},
      {"tablefolder", good, 5, {"--table", "/"}, "cannot open the file",
       "the voice table: / is not a regular file (a folder, a device or a pipe); name the table "
       "file with --table PATH",
       "音色テーブル：/ は通常のファイルではありません", 1},
      {"void", {}, 5, {}, "cannot handle this file",
       "void.wav is empty (0 bytes): record or export the sound into it again\n",
       "void.wav は空です", 1},
      {"empty", good, 5, {"--table", "bad.dat"}, "cannot allocate memory",
       "the voice table bad.dat is empty (0 bytes), where a voice table holds 67108864",
       "音色テーブル bad.dat は空です", 1},
      {"ro", good, 5, {}, "writing the file failed",
       "ro.bin is read-only: make it writable (chmod u+w ro.bin) or remove it",
       "ro.bin は読み取り専用です", 1},
      {"short", good, 2, {}, "finished",
       "warning: the pitch track short.dat has 2 frames, the sound 5: the last 3 read 0 Hz",
       "警告：ピッチトラック short.dat は 2 フレーム、音声は 5 フレームです", 0},
      {"long", good, 9, {}, "finished",
       "warning: the pitch track long.dat has 9 frames, the sound only 5",
       "long.dat は 9 フレームありますが", 0},
      {"tiny", WaveBytes(1, 1, 44100, 16, 700 * 2), 0, {}, "finished",
       "warning: tiny.wav is shorter than one frame (735 samples, 1/60 s): tiny.bin holds no "
       "records",
       "tiny.wav は 1 フレーム（735 サンプル、1/60 秒）より短い", 0},
  };
  ASSERT_TRUE(WriteBytes(folder_ / "ro.bin", {1}));
  std::filesystem::permissions(folder_ / "ro.bin", std::filesystem::perms::owner_read);
  for (const auto& c : cases) {
    ASSERT_TRUE(WriteBytes(folder_ / (c.name + ".wav"), c.wave));
    if (c.track_frames >= 0) {
      ASSERT_TRUE(WritePitchTrack(folder_ / (c.name + ".dat"),
                                  std::vector<uint16_t>(static_cast<size_t>(c.track_frames), 220)));
    }
    std::vector<std::string> arguments = c.options;
    arguments.push_back(c.name + ".wav");
    const ProcessResult english = Run(arguments);
    EXPECT_EQ(english.out, c.name + ".wav: " + c.out_en + "\n");
    EXPECT_NE(english.err.find("kelditra: " + c.err_en), std::string::npos) << english.err;
    EXPECT_EQ(english.status, c.status) << c.name;
    const ProcessResult japanese = Run(arguments, kJapaneseLocale);
    EXPECT_NE(japanese.err.find(c.err_ja), std::string::npos) << japanese.err;
  }
}

// An argument is a file name as it stands, spaces and dashes after "--"
// included. -o writes into its folder only, and looks there first for what
// it reads. Steps in turn: each may use what the one before wrote.
TEST_F(CommandLine, ArgumentsOutputFoldersAndUsageErrors) {
  std::filesystem::create_directory(folder_ / "out");
  const struct {
    std::vector<std::string> arguments;
    int status;
    std::string out_contains;
    std::string err_contains;
  } cases[] = {
      {{"pitch", "-q", "-o", "out", "good.wav"}, 0, "good.wav: wrote out/good.dat: 5 frames, ", ""},
      {{"--output-dir=out", "good.wav"}, 0, "good.wav: finished\n", ""},
      {{"preview", "-o", "out", "good.wav"}, 0, "good.wav: wrote out/good.preview.wav\n", ""},
      // A second run over everything: the preview is no recording.
      {{"-o", "out", "out/good.preview.wav", "good.wav  "}, 0,
       "out/good.preview.wav: skipped: a preview that kelditra preview made\n"
       "good.wav  : finished\n",
       ""},
      {{"report", "-q", "-o", "out", "good.wav"}, 0,
       "good.wav: wrote out/good.report.html (5 frames)\n", ""},
      {{"convert", "-o", "out", "good.wav"}, 0, "good.wav: finished\n", ""},
      {{"--", "--odd.wav"}, 1, "--odd.wav: --odd.dat: file not found\n", ""},
      {{}, 2, "", "kelditra: no WAV file given\nusage: kelditra [options] FILE.wav..."},
      {{"--bogus", "good.wav"}, 2, "", "unknown option --bogus"},
      {{"--table"}, 2, "", "--table needs a path"},
      {{"--quiet=yes", "good.wav"}, 2, "", "--quiet takes no value"},
      {{"--threads", "0", "good.wav"}, 2, "", "--threads needs a number from 1 to 256"},
      {{"-o", "nowhere", "good.wav"}, 2, "", "--output-dir needs a folder that exists"},
      {{"report", "--simd=mmx", "good.wav"}, 2, "", "kelditra report: --simd needs avx512"},
      {{"table"}, 0, "fm_table2.dat: kept the existing fm_table2.dat; --force replaces it\n", ""},
      {{"table", "a.dat", "b.dat"}, 2, "", "kelditra table: give one FILE at most"},
      {{"help", "bogus"}, 2, "", "no command bogus"},
      {{"help"}, 0, "  report    ", ""},
      {{"help", "preview"}, 0, "usage: kelditra preview", ""},
      {{"pitch", "-h"}, 0, "usage: kelditra pitch", ""},
      {{"--version"}, 0, "kelditra 1.", ""},
  };
  for (const auto& c : cases) {
    const ProcessResult result = Run(c.arguments);
    EXPECT_EQ(result.status, c.status) << result.err;
    EXPECT_NE(result.out.find(c.out_contains), std::string::npos) << result.out;
    EXPECT_NE(result.err.find(c.err_contains), std::string::npos) << result.err;
  }
  EXPECT_EQ(ReadBytes(folder_ / "out/good.bin").size(), 5u * 16);
  EXPECT_FALSE(std::filesystem::exists(folder_ / "good.bin"));

}

// Every kind of byte a Linux name holds, read back by Python's own JSON parser
// from one object per line: the name comes back byte for byte (a byte that is
// no part of well-formed UTF-8 as an escaped lone surrogate, as Python's file
// names take it), and the detail is in the object, not on stderr.
TEST_F(CommandLine, JsonLinesCarryEveryNameAsItIs) {
  const std::string python = FindTool("python3");
  if (python.empty()) GTEST_FAIL() << MissingTool("python3");
  std::string controls;
  for (char c = 1; c < 0x20; ++c) controls += c;
  const std::vector<std::string> names = {
      "good.wav",                                 // done, with its counts
      controls + ".wav",                          // each a \u escape
      "quote\" back\\slash \x7f" " del.wav",         // escaped, and DEL as it is
      "\xc5\x99" "e\xc4\x8d \xe9\x8c\xb2 \xf0\x9f\x8e\xa4.wav",  // 2, 3 and 4 bytes
      "\x80\xbf lone continuations.wav",
      "\xc0\xaf overlong slash.wav",
      "\xed\xa0\x80 surrogate.wav",
      "\xf4\x90\x80\x80 past U+10FFFF.wav",
      "\xfe\xff cut \xe9\x8c.wav",
  };
  std::vector<std::string> arguments = {"--json"};
  arguments.insert(arguments.end(), names.begin(), names.end());
  const ProcessResult json = Run(arguments);
  EXPECT_EQ(json.status, 1);
  EXPECT_EQ(json.err, "");
  ASSERT_TRUE(WriteBytes(folder_ / "out.jsonl", std::vector<uint8_t>(json.out.begin(), json.out.end())));

  // Strict: the text must be UTF-8, each line one object with every field.
  const ProcessResult parsed = RunProcess(python, {"-c", R"(
import json, os, sys
for line in open(sys.argv[1], 'rb').read().decode('utf-8').split('\n')[:-1]:
    o = json.loads(line)
    assert sorted(o) == sorted(['path', 'outcome', 'exit_status', 'message', 'detail',
                                'warnings', 'frames', 'voiced_frames', 'sound_seconds',
                                'seconds_taken']), o
    print(os.fsencode(o['path']).hex(), o['outcome'], o['frames'], o['detail'] is not None)
)", folder_ / "out.jsonl"});
  ASSERT_EQ(parsed.status, 0) << parsed.err << json.out;
  std::string expected;
  for (const std::string& name : names) {
    for (const char c : name) {
      char hex[3];
      std::snprintf(hex, sizeof hex, "%02x", static_cast<unsigned char>(c));
      expected += hex;
    }
    expected += name == "good.wav" ? " done 5 False\n" : " failed None True\n";
  }
  EXPECT_EQ(parsed.out, expected);
}

// The first of LC_ALL, LC_MESSAGES and LANG that is set and not empty
// decides, as POSIX orders them: LC_ALL overrides everything.
TEST_F(CommandLine, LanguageFollowsLcAllThenLcMessagesThenLang) {
  const std::string english = "none.wav: none.dat: file not found\n";
  const std::string japanese = "none.wav: none.datファイルが見つかりません : file not found\n";
  const struct {
    const char* lc_all;  // nullptr: unset
    const char* lc_messages;
    const char* lang;
    bool in_japanese;
  } cases[] = {
      {"ja_JP.UTF-8", "C.UTF-8", "C.UTF-8", true},
      {"C.UTF-8", "ja_JP.UTF-8", "ja_JP.UTF-8", false},
      {"", "ja_JP.UTF-8", "C.UTF-8", true},
      {nullptr, "C.UTF-8", "ja_JP.UTF-8", false},
      {"", "", "ja_JP.UTF-8", true},
      {nullptr, nullptr, "C.UTF-8", false},
      {nullptr, nullptr, nullptr, false},
  };
  for (const auto& c : cases) {
    std::vector<std::string> arguments = {"-u", "LC_ALL", "-u", "LC_MESSAGES", "-u", "LANG"};
    for (const auto& [name, value] : {std::pair{"LC_ALL=", c.lc_all},
                                      std::pair{"LC_MESSAGES=", c.lc_messages},
                                      std::pair{"LANG=", c.lang}}) {
      if (value != nullptr) arguments.push_back(name + std::string(value));
    }
    arguments.insert(arguments.end(), {KelditraPath(), "none.wav"});
    const ProcessResult result = RunProcess("/usr/bin/env", arguments, folder_.path());
    EXPECT_EQ(result.out, c.in_japanese ? japanese : english)
        << (c.lc_all ? c.lc_all : "-") << " " << (c.lc_messages ? c.lc_messages : "-") << " "
        << (c.lang ? c.lang : "-");
  }
}

// Files in one run share the table: strace counts its opens. The leak
// checker of a sanitizer build cannot work under a tracer; everything else
// it checks still runs.
TEST_F(CommandLine, ManyFilesInOneRunLoadTheTableOnce) {
  const char* asan = std::getenv("ASAN_OPTIONS");
  const std::string traced_asan =
      std::string("ASAN_OPTIONS=") + (asan != nullptr ? asan : "") + ":detect_leaks=0";
  const std::string strace = FindTool("strace");
  if (strace.empty()) GTEST_FAIL() << MissingTool("strace");
  const ProcessResult result =
      RunProcess(strace, {"-f", "-e", "trace=open,openat", "-o", folder_ / "trace", "-E",
                          traced_asan, KelditraPath(), "good.wav", "bad.wav", "good.wav"},
                 folder_.path());
  EXPECT_EQ(result.status, 1) << result.out;  // bad.wav failed
  const std::vector<uint8_t> trace = ReadBytes(folder_ / "trace");
  const std::string text(trace.begin(), trace.end());
  const size_t first_open = text.find("fm_table2.dat");
  EXPECT_NE(first_open, std::string::npos) << text;
  EXPECT_EQ(text.find("fm_table2.dat", first_open + 1), std::string::npos) << text;
}

TEST_F(CommandLine, CtrlCStopsTheRunningJobAndNamesTheFilesNotReached) {
  // The plain search over a table of all-zero entries, none skipped, takes
  // tens of milliseconds a frame anywhere: 3000 frames still run for minutes
  // when the interrupt sent at the first progress tick arrives.
  ASSERT_TRUE(WriteVoiceTable(folder_ / "fm_table2.dat", [](int32_t) { return RawEntry(128, 0); }));
  ASSERT_TRUE(WriteMonoWave(folder_ / "long.wav", HarmonicSound(3000, 220, {5000})));
  ASSERT_TRUE(WritePitchTrack(folder_ / "long.dat", std::vector<uint16_t>(3000, 220)));
  ASSERT_TRUE(WriteBytes(folder_ / "long.bin", {4, 2}));

  const ProcessResult result = RunInterruptedAtFirstTick(
      KelditraPath(), {"--reference", "long.wav", "good.wav"}, folder_.path(), "C.UTF-8");
  EXPECT_EQ(result.out, "long.wav: cancelled\ngood.wav: not started: stopped by Ctrl-C\n")
      << result.err;
  EXPECT_NE(result.err.find('%'), std::string::npos) << "no progress bar on the terminal";
  EXPECT_EQ(result.status, 130);
  EXPECT_EQ(ReadBytes(folder_ / "long.bin"), (std::vector<uint8_t>{4, 2}));
  EXPECT_FALSE(std::filesystem::exists(folder_ / "good.bin"));
}

}  // namespace

}  // namespace kelditra
