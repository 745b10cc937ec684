// Whatever a user points the program at ends in exactly one message, with no
// crash, no hang and no good output lost: every outcome of a conversion, on
// real files, folders, FIFOs, devices, sparse giants and awkward paths.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "job_fixtures.h"
#include "test_support.h"

namespace kelditra {

namespace {

struct Row {
  std::string argument;  // relative to the folder, or absolute
  std::string message;   // what follows "argument: "
  std::function<void(const std::string& base)> make = nullptr;  // base: the path less ".wav"
  int frames = 0;  // records of a finished conversion; any other leaves the output as it was
  std::string table = LiveTablePath();
  std::string detail = {};  // a part of the detail line, where it matters which file it names
};

void Put32(std::vector<uint8_t>* bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) (*bytes)[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

// The canonical layout: RIFF at 0, "fmt " at 12 (size 16), "data" at 36,
// samples at 44.
std::vector<uint8_t> CanonicalWave(size_t samples) {
  ScratchFolder scratch;
  std::vector<int16_t> sound = HarmonicSound(2, 220, {5000});
  sound.resize(samples);
  EXPECT_TRUE(WriteMonoWave(scratch / "w.wav", sound));
  return ReadBytes(scratch / "w.wav");
}

using Maker = std::function<void(const std::string& path)>;

// base.wav made by make_wave, and a pitch track of 220 Hz beside it.
Maker WithTrack(Maker make_wave) {
  return [make_wave](const std::string& base) {
    make_wave(base + ".wav");
    ASSERT_TRUE(WritePitchTrack(base + ".dat", std::vector<uint16_t>(80, 220)));
  };
}

Maker WaveFile(std::vector<uint8_t> bytes) {
  return WithTrack([bytes](const std::string& wav) { ASSERT_TRUE(WriteBytes(wav, bytes)); });
}

Maker Patched(std::vector<uint8_t> bytes, size_t at, uint32_t value) {
  Put32(&bytes, at, value);
  return WaveFile(bytes);
}

void Sparse(const std::string& path, int64_t size, const std::vector<uint8_t>& head = {}) {
  ASSERT_TRUE(WriteBytes(path, head));
  ASSERT_EQ(truncate(path.c_str(), size), 0) << path;
}

// An absolute path of exactly `length` bytes, its folder made.
std::string PathOfLength(const std::string& here, size_t length) {
  const std::string name = std::to_string(length) + ".wav";
  const std::string folder = here + "/" + std::string(length - here.size() - 2 - name.size(), 'p');
  std::filesystem::create_directories(folder);
  return folder + "/" + name;
}

TEST(BadInput, EveryOutcomeFromRealFiles) {
  ScratchFolder folder, table_folder;
  const std::string here = folder.path();
  const std::string longer_table = table_folder / "longer.dat";
  const std::string short_table = table_folder / "short.dat";
  std::filesystem::copy_file(LiveTablePath(), longer_table);
  std::ofstream(longer_table, std::ios::app) << '\x07';
  Sparse(short_table, int64_t{67108864} - 1);  // one byte short of a voice table
  const std::vector<uint8_t> canonical = CanonicalWave(735);  // 44-byte header, 1470 bytes of data

  std::vector<Row> rows = {
      // Files that are not there, and things that are not files.
      {"no-sound.wav", "no-sound.wav" + std::string(utf8::kFileNotFoundSuffix),
       [](const std::string& base) { ASSERT_TRUE(WritePitchTrack(base + ".dat", {220})); }},
      {".wav", ".dat" + std::string(utf8::kFileNotFoundSuffix)},
      {"no-folder/take.wav", utf8::kCannotOpen},
      {"folder.wav", utf8::kCannotOpen,
       WithTrack([](const std::string& wav) { std::filesystem::create_directory(wav); })},
      {"fifo.wav", utf8::kCannotOpen,
       WithTrack([](const std::string& wav) { ASSERT_EQ(mkfifo(wav.c_str(), 0600), 0); })},
      {"zero.wav", utf8::kCannotOpen,
       WithTrack([](const std::string& wav) { std::filesystem::create_symlink("/dev/zero", wav); })},

      // Lengths a 32-bit count cannot hold, as sparse files.
      {"huge.wav", utf8::kNoMemory,
       WithTrack([&](const std::string& wav) { Sparse(wav, int64_t{1} << 31, canonical); })},
      {"wraps-to-44.wav", utf8::kNoMemory,
       WithTrack([&](const std::string& wav) { Sparse(wav, (int64_t{1} << 32) + 44, canonical); })},
      // The sound is what would not fit, not the empty pitch track loaded before it.
      {"huge-beside-empty-track.wav", utf8::kNoMemory,
       [&](const std::string& base) {
         Sparse(base + ".wav", int64_t{1} << 31, canonical);
         ASSERT_TRUE(WriteBytes(base + ".dat", {}));
       },
       0, LiveTablePath(), "メモリが足りません：huge-beside-empty-track.wav"},
      // One frame more than the record array holds, nearly all of it a hole.
      {"too-long.wav", utf8::kWaveTooLong, WithTrack([&](const std::string& wav) {
         std::vector<uint8_t> header(canonical.begin(), canonical.begin() + 44);
         Put32(&header, 40, 262145u * 1470u);
         Sparse(wav, 44 + int64_t{262145} * 1470, header);
       })},

      // Header fields that mislead a reader working in 32 bits.
      // (The other layouts are the wave reader's own test.)
      {"fmt-size.wav", utf8::kUnsupportedWave, Patched(canonical, 16, 0xFFFFFFFF)},
      {"data-all-ones.wav", utf8::kBadDataLength, Patched(canonical, 40, 0xFFFFFFFF)},

      // An output that must not be replaced. (A folder in its place is the
      // save's own test.)
      {"linked-read-only.wav", utf8::kWriteFailed,
       [&](const std::string& base) {
         WaveFile(canonical)(base);
         ASSERT_TRUE(WriteBytes(base + ".kept", {1, 2}));
         ASSERT_EQ(chmod((base + ".kept").c_str(), 0444), 0);
         std::filesystem::create_symlink(base + ".kept", base + ".bin");
       }},

      // Paths: the longest one accepted, the shortest one refused, and
      // names that are not ASCII.
      {PathOfLength(here, 259), utf8::kFinished, WaveFile(canonical), 1},
      {PathOfLength(here, 260), utf8::kCannotOpen, WaveFile(canonical)},
      {"音声/テイク１.wav", utf8::kFinished, WaveFile(canonical), 1},
      {"音声/無音.wav", "音声/無音.dat" + std::string(utf8::kFileNotFoundSuffix),
       [&](const std::string& base) { ASSERT_TRUE(WriteBytes(base + ".wav", canonical)); }},

      // Voice tables, each in a run of its own.
      {"table-longer.wav", utf8::kFinished, WaveFile(canonical), 1, longer_table},
      {"table-short.wav", utf8::kBadVoiceTableSize, WaveFile(canonical), 0, short_table},
  };

  // The sound cut after each of its bytes: refused until the whole "data"
  // header is there, then for its length until the last byte is.
  const std::vector<uint8_t> short_sound = CanonicalWave(10);
  for (size_t length = 0; length <= short_sound.size(); ++length) {
    const char* message = length < 40                    ? utf8::kUnsupportedWave
                          : length < short_sound.size() ? utf8::kBadDataLength
                                                         : utf8::kFinished;
    rows.push_back({"cut-" + std::to_string(length) + ".wav", message,
                    WaveFile({short_sound.begin(), short_sound.begin() + length})});
  }

  // A file whose length the system states but whose read comes back short.
  const std::string short_read = "/sys/devices/system/cpu/online";
  std::error_code unreadable;
  if (std::filesystem::file_size(short_read, unreadable) == 4096 &&
      ReadBytes(short_read).size() < 4096) {
    rows.push_back({"short-read.wav", utf8::kReadError, WithTrack([&](const std::string& wav) {
                      std::filesystem::create_symlink(short_read, wav);
                    })});
  } else {
    std::printf("no short-reading file here; the read error goes unchecked\n");
  }

  const auto base = [&](const Row& row) {
    const std::string path = row.argument[0] == '/' ? row.argument : here + "/" + row.argument;
    return path.substr(0, path.size() - 4);
  };
  std::filesystem::create_directory(here + "/音声");
  for (const Row& row : rows) {
    if (row.make) row.make(base(row));
  }

  // A parameter file as it stands: whether it is there, and its bytes.
  const auto output_of = [&](const Row& row) {
    const std::string bin = base(row) + ".bin";
    return std::make_pair(std::filesystem::exists(bin), ReadBytes(bin));
  };

  // One process per voice table, each converting all of its rows' files in
  // a row, under a watchdog: a hang is a failure, not a stuck build.
  std::map<std::string, std::vector<const Row*>> runs;
  for (const Row& row : rows) runs[row.table].push_back(&row);
  for (const auto& [table, table_rows] : runs) {
    std::vector<std::string> arguments = {"-s", "KILL", "300", KelditraPath(), "--quiet",
                                          "--table", table};
    bool all_finish = true;
    std::string expected_out;
    std::vector<std::pair<bool, std::vector<uint8_t>>> before;
    for (const Row* row : table_rows) {
      arguments.push_back(row->argument);
      all_finish &= row->message == utf8::kFinished;
      expected_out += row->argument + ": " + row->message + "\n";
      before.push_back(output_of(*row));
    }
    const ProcessResult result = RunProcess("/usr/bin/timeout", arguments, here);
    EXPECT_EQ(result.status, all_finish ? 0 : 1) << "table " << table;
    EXPECT_EQ(result.out, expected_out) << "table " << table;
    // No progress bar; only the failures' details and the warnings.
    std::istringstream err(result.err);
    for (std::string line; std::getline(err, line);) {
      EXPECT_EQ(line.rfind("kelditra: ", 0), 0u) << line;
    }
    for (const Row* row : table_rows) {
      EXPECT_NE(result.err.find(row->detail), std::string::npos) << row->argument;
    }
    for (size_t i = 0; i < table_rows.size(); ++i) {
      const Row& row = *table_rows[i];
      const auto [there, bytes] = output_of(row);
      if (row.message == utf8::kFinished) {
        EXPECT_TRUE(there) << row.argument;
        EXPECT_EQ(bytes.size(), 16u * row.frames) << row.argument;
      } else {
        EXPECT_EQ(std::make_pair(there, bytes), before[i]) << row.argument;
      }
    }
  }

  // Whatever failed, no temporary file stayed behind anywhere.
  for (const auto& entry : std::filesystem::recursive_directory_iterator(here)) {
    EXPECT_NE(entry.path().filename().string()[0], '~') << entry.path();
  }
}

}  // namespace

}  // namespace kelditra
