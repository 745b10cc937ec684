// Whatever a user points the program at ends in exactly one message, with no
// crash, no hang and no good output lost: every outcome of a conversion
// reached through the command line on real files, folders, FIFOs, devices,
// sparse giants and awkward paths.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "job_fixtures.h"
#include "test_support.h"

namespace {

constexpr int64_t kTableBytes = 67108864;

enum class Output {
  kNone,     // no parameter file appears
  kKept,     // the earlier parameter file is left exactly as it was
  kRecords,  // a parameter file of `frames` records
};

const std::vector<uint8_t> kEarlierOutput = {'k', 'e', 'e', 'p'};

struct Row {
  std::string argument;  // relative to the folder, or absolute
  std::string message;   // what follows "argument: "
  std::function<void(const std::string& base)> make = nullptr;  // base: the path less ".wav"
  Output output = Output::kNone;
  int frames = 0;
  // For kRecords, when not -1: frame 0's fundamental in the pitch track; the
  // other frames have none.
  int first_fundamental = -1;
  std::string table = "good";
};

std::string Utf8(const char* text) { return text; }

void Put32(std::vector<uint8_t>* bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) (*bytes)[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

// The canonical layout: RIFF at 0, "fmt " at 12 (size 16), "data" at 36,
// samples at 44.
std::vector<uint8_t> CanonicalWave(int frames, int extra_samples = 0) {
  ScratchFolder scratch;
  const std::string path = scratch / "w.wav";
  std::vector<int16_t> sound = HarmonicSound(frames + 1, 220, {5000});
  sound.resize(static_cast<size_t>(frames) * 735 + extra_samples);
  EXPECT_TRUE(WriteMonoWave(path, sound));
  return ReadBytes(path);
}

// Writes base.wav with the given bytes and a pitch track of 220 Hz beside it.
std::function<void(const std::string&)> WaveFile(std::vector<uint8_t> bytes) {
  return [bytes](const std::string& base) {
    ASSERT_TRUE(WriteBytes(base + ".wav", bytes));
    ASSERT_TRUE(WritePitchTrack(base + ".dat", std::vector<uint16_t>(80, 220)));
  };
}

std::function<void(const std::string&)> Patched(std::vector<uint8_t> bytes, size_t at,
                                                uint32_t value) {
  Put32(&bytes, at, value);
  return WaveFile(bytes);
}

// A chunk of the given size and id inserted before "data".
std::vector<uint8_t> WithChunkBeforeData(const char* id, uint32_t size) {
  std::vector<uint8_t> bytes = CanonicalWave(1);
  std::vector<uint8_t> chunk(id, id + 4);
  chunk.resize(8);
  Put32(&chunk, 4, size);
  bytes.insert(bytes.begin() + 36, chunk.begin(), chunk.end());
  return bytes;
}

void Sparse(const std::string& path, int64_t size, const std::vector<uint8_t>& head = {}) {
  ASSERT_TRUE(WriteBytes(path, head));
  ASSERT_EQ(truncate(path.c_str(), size), 0) << path;
}

std::function<void(const std::string&)> PitchTrackOf(std::vector<uint8_t> track) {
  return [track](const std::string& base) {
    ASSERT_TRUE(WriteMonoWave(base + ".wav", HarmonicSound(70, 220, {5000})));
    ASSERT_TRUE(WriteBytes(base + ".dat", track));
  };
}

class BadInput : public ::testing::Test {
 protected:
  // The voice tables the rows name, made in a folder of their own.
  std::map<std::string, std::string> MakeTables() {
    const std::string folder = tables_.path();
    const std::string& good = LiveTablePath();
    std::filesystem::copy_file(good, folder + "/longer.dat");
    std::ofstream(folder + "/longer.dat", std::ios::app) << '\x07';
    WriteBytes(folder + "/one.dat", {1});
    Sparse(folder + "/short.dat", kTableBytes - 1);
    return {{"good", good},
            {"longer", folder + "/longer.dat"},
            {"one", folder + "/one.dat"},
            {"short", folder + "/short.dat"}};
  }

  std::string Base(const Row& row) const {
    const std::string path = row.argument[0] == '/' ? row.argument : folder_ / row.argument;
    return path.substr(0, path.size() - 4);
  }

  ScratchFolder folder_;
  ScratchFolder tables_;
};

TEST_F(BadInput, EveryOutcomeFromRealFiles) {
  const std::string here = folder_.path();
  const std::vector<uint8_t> canonical = CanonicalWave(1);  // 44-byte header, 1470 bytes of data

  std::vector<Row> rows = {
      {"good.wav", Utf8(utf8::kFinished), WaveFile(CanonicalWave(5)), Output::kRecords, 5},

      // Names the job refuses before it touches a file.
      {"", Utf8(utf8::kNotWaveFile)},
      {"notes.txt", Utf8(utf8::kNotWaveFile)},

      // Files that are not there, and things that are not files.
      {"no-track.wav", "no-track.dat" + Utf8(utf8::kFileNotFoundSuffix),
       [](const std::string& base) { ASSERT_TRUE(WriteBytes(base + ".wav", {1})); }},
      {"no-sound.wav", "no-sound.wav" + Utf8(utf8::kFileNotFoundSuffix),
       [](const std::string& base) { ASSERT_TRUE(WritePitchTrack(base + ".dat", {220})); }},
      {".wav", ".dat" + Utf8(utf8::kFileNotFoundSuffix)},
      {"no-folder/take.wav", Utf8(utf8::kCannotOpen)},
      {"folder.wav", Utf8(utf8::kCannotOpen),
       [](const std::string& base) {
         std::filesystem::create_directory(base + ".wav");
         ASSERT_TRUE(WritePitchTrack(base + ".dat", {220}));
       }},
      {"fifo.wav", Utf8(utf8::kCannotOpen),
       [](const std::string& base) {
         ASSERT_EQ(mkfifo((base + ".wav").c_str(), 0600), 0);
         ASSERT_TRUE(WritePitchTrack(base + ".dat", {220}));
       }},
      {"zero.wav", Utf8(utf8::kCannotOpen),
       [](const std::string& base) {
         std::filesystem::create_symlink("/dev/zero", base + ".wav");
         ASSERT_TRUE(WritePitchTrack(base + ".dat", {220}));
       }},

      // Lengths a 32-bit count cannot hold, as sparse files.
      {"huge.wav", Utf8(utf8::kNoMemory),
       [&](const std::string& base) {
         Sparse(base + ".wav", int64_t{1} << 31, canonical);
         ASSERT_TRUE(WritePitchTrack(base + ".dat", {220}));
       }},
      {"wraps-to-44.wav", Utf8(utf8::kNoMemory),
       [&](const std::string& base) {
         Sparse(base + ".wav", (int64_t{1} << 32) + 44, canonical);
         ASSERT_TRUE(WritePitchTrack(base + ".dat", {220}));
       }},
      // One frame more than the record array holds: 262,145 frames of
      // silence, nearly all of them a hole in the file.
      {"too-long.wav", Utf8(utf8::kWaveTooLong),
       [&](const std::string& base) {
         std::vector<uint8_t> header(canonical.begin(), canonical.begin() + 44);
         const uint32_t bytes = 262145u * 1470u;
         Put32(&header, 40, bytes);
         Sparse(base + ".wav", 44 + int64_t{bytes}, header);
         ASSERT_TRUE(WritePitchTrack(base + ".dat", {220}));
       }},

      // Header fields that mislead a reader working in 32 bits.
      {"riff-size.wav", Utf8(utf8::kFinished), Patched(canonical, 4, 0xFFFFFFFF), Output::kRecords,
       1},
      {"fmt-size.wav", Utf8(utf8::kUnsupportedWave), Patched(canonical, 16, 0xFFFFFFFF)},
      {"chunk-onto-itself.wav", Utf8(utf8::kUnsupportedWave),
       WaveFile(WithChunkBeforeData("LIST", 0xFFFFFFF8))},
      {"chunk-backwards.wav", Utf8(utf8::kUnsupportedWave),
       WaveFile(WithChunkBeforeData("LIST", 0xFFFFFFF0))},
      {"chunk-skipped.wav", Utf8(utf8::kFinished), WaveFile(WithChunkBeforeData("LIST", 0)),
       Output::kRecords, 1},
      {"data-all-ones.wav", Utf8(utf8::kBadDataLength), Patched(canonical, 40, 0xFFFFFFFF)},
      {"data-sign-bit.wav", Utf8(utf8::kBadDataLength), Patched(canonical, 40, 0x80000000)},

      // What the format fields refuse.
      {"rate.wav", Utf8(utf8::kNot44100Hz), Patched(canonical, 24, 48000)},
      {"stereo.wav", Utf8(utf8::kNotMono16Bit), Patched(canonical, 20, 0x00020001)},

      // Pitch tracks far shorter than the sound: every byte past the end
      // reads as 0, however far past it a frame lies.
      {"track-0.wav", Utf8(utf8::kFinished), PitchTrackOf({}), Output::kRecords, 70, 0},
      {"track-1.wav", Utf8(utf8::kFinished), PitchTrackOf({0x11}), Output::kRecords, 70, 0},
      {"track-3.wav", Utf8(utf8::kFinished), PitchTrackOf({0x11, 0x22, 0x37}), Output::kRecords,
       70, 0x37},
      {"track-65.wav", Utf8(utf8::kFinished), PitchTrackOf([] {
         std::vector<uint8_t> track(65, 0xEE);
         track[2] = 0x37, track[3] = 0x01;
         return track;
       }()),
       Output::kRecords, 70, 0x137},

      // Outputs that must not be replaced.
      {"linked-read-only.wav", Utf8(utf8::kWriteFailed),
       [&](const std::string& base) {
         WaveFile(canonical)(base);
         ASSERT_TRUE(WriteBytes(base + ".kept", kEarlierOutput));
         ASSERT_EQ(chmod((base + ".kept").c_str(), 0444), 0);
         std::filesystem::create_symlink(base + ".kept", base + ".bin");
       },
       Output::kKept},
      {"output-folder.wav", Utf8(utf8::kWriteFailed),
       [&](const std::string& base) {
         WaveFile(canonical)(base);
         std::filesystem::create_directory(base + ".bin");
       }},

      // Paths: the longest one accepted, the shortest one refused, and
      // names that are not ASCII.
      {"", Utf8(utf8::kFinished), WaveFile(canonical), Output::kRecords, 1},
      {"", Utf8(utf8::kCannotOpen), WaveFile(canonical)},
      {"音声/テイク１.wav", Utf8(utf8::kFinished), WaveFile(canonical), Output::kRecords, 1},
      {"音声/無音.wav", "音声/無音.dat" + Utf8(utf8::kFileNotFoundSuffix),
       [&](const std::string& base) { ASSERT_TRUE(WriteBytes(base + ".wav", canonical)); }},

      // Voice tables, each in a run of its own.
      {"table-longer.wav", Utf8(utf8::kFinished), WaveFile(canonical), Output::kRecords, 1, -1,
       "longer"},
      {"table-one.wav", Utf8(utf8::kBadVoiceTableSize), WaveFile(canonical), Output::kNone, 0, -1,
       "one"},
      {"table-short.wav", Utf8(utf8::kBadVoiceTableSize), WaveFile(canonical), Output::kNone, 0,
       -1, "short"},
  };

  // Absolute paths of exactly 259 and 260 bytes for the two rows left blank.
  for (size_t length : {259u, 260u}) {
    Row& row = *std::find_if(rows.begin(), rows.end(), [](const Row& r) {
      return r.argument.empty() && r.make != nullptr;
    });
    std::string folder = here + "/long";
    std::filesystem::create_directories(folder);
    const std::string name = std::to_string(length) + ".wav";
    const size_t padding = length - folder.size() - 2 - name.size();
    folder.append("/").append(padding, 'p');
    std::filesystem::create_directories(folder);
    row.argument = folder + "/" + name;
    ASSERT_EQ(row.argument.size(), length);
  }

  // The sound truncated after every byte of its header and some of its
  // samples: refused until the whole "data" header is there, then refused
  // for its length until the last byte is.
  const std::vector<uint8_t> short_sound = CanonicalWave(0, 10);
  for (size_t length = 0; length <= short_sound.size(); ++length) {
    const char* message = length < 40                    ? utf8::kUnsupportedWave
                          : length < short_sound.size() ? utf8::kBadDataLength
                                                         : utf8::kFinished;
    rows.push_back({"cut-" + std::to_string(length) + ".wav", message,
                    WaveFile({short_sound.begin(), short_sound.begin() + length}),
                    length == short_sound.size() ? Output::kRecords : Output::kNone, 0});
  }

  // A file whose length the system states but whose read comes back short.
  const std::string short_read = "/sys/devices/system/cpu/online";
  struct stat info;
  if (stat(short_read.c_str(), &info) == 0 && info.st_size == 4096 &&
      ReadBytes(short_read).size() < 4096) {
    rows.push_back({"short-read.wav", Utf8(utf8::kReadError), [&](const std::string& base) {
                      std::filesystem::create_symlink(short_read, base + ".wav");
                      ASSERT_TRUE(WritePitchTrack(base + ".dat", {220}));
                    }});
  } else {
    std::printf("no short-reading file here; the read error goes unchecked\n");
  }

  std::filesystem::create_directory(here + "/音声");
  for (const Row& row : rows) {
    if (row.make) row.make(Base(row));
  }

  // One process per voice table, each converting all of its rows' files in
  // a row, under a watchdog: a hang is a failure, not a stuck build.
  const std::map<std::string, std::string> tables = MakeTables();
  std::map<std::string, std::vector<const Row*>> runs;
  for (const Row& row : rows) runs[row.table].push_back(&row);
  for (const auto& [table, table_rows] : runs) {
    std::vector<std::string> arguments = {"-s", "KILL", "300", KelditraPath(), "--quiet",
                                          "--table", tables.at(table)};
    bool all_finish = true;
    for (const Row* row : table_rows) {
      arguments.push_back(row->argument);
      all_finish &= row->message == utf8::kFinished;
    }
    const ProcessResult result = RunProcess("/usr/bin/timeout", arguments, here);
    EXPECT_EQ(result.status, all_finish ? 0 : 1) << "table " << table;
    // No progress bar; only the failures' details and the warnings.
    for (size_t start = 0, end; (end = result.err.find('\n', start)) != std::string::npos;
         start = end + 1) {
      EXPECT_EQ(result.err.compare(start, 10, "kelditra: "), 0) << result.err.substr(start, end - start);
    }

    std::vector<std::string> lines;
    for (size_t start = 0, end; (end = result.out.find('\n', start)) != std::string::npos;
         start = end + 1) {
      lines.push_back(result.out.substr(start, end - start));
    }
    ASSERT_EQ(lines.size(), table_rows.size()) << "table " << table << ":\n" << result.out;

    for (size_t i = 0; i < table_rows.size(); ++i) {
      const Row& row = *table_rows[i];
      EXPECT_EQ(lines[i], row.argument + ": " + row.message);
      if (row.argument.size() < 4) continue;
      const std::string bin = Base(row) + ".bin";
      switch (row.output) {
        case Output::kNone:
          EXPECT_FALSE(std::filesystem::is_regular_file(bin)) << row.argument;
          break;
        case Output::kKept:
          EXPECT_EQ(ReadBytes(bin), kEarlierOutput) << row.argument;
          break;
        case Output::kRecords: {
          const std::vector<Record> records = ReadRecords(bin);
          EXPECT_EQ(ReadBytes(bin).size(), 16u * row.frames) << row.argument;
          for (size_t r = 0; row.first_fundamental >= 0 && r < records.size(); ++r) {
            const int f0 = r == 0 ? row.first_fundamental : 0;
            EXPECT_TRUE(records[r].frequency == f0 || records[r].frequency == 2 * f0)
                << row.argument << " frame " << r << ": " << records[r].frequency;
          }
          break;
        }
      }
    }
  }

  // Whatever failed, no temporary file stayed behind anywhere.
  for (const auto& entry : std::filesystem::recursive_directory_iterator(here)) {
    EXPECT_NE(entry.path().filename().string()[0], '~') << entry.path();
  }
}

}  // namespace
