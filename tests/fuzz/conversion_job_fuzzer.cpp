// The whole conversion job through a scripted front end, on real files: any
// WAV bytes, any pitch-track bytes, and a handful of ways to run the job.
//
// Input: one byte of flags, the pitch track's length as two little-endian
// bytes, the pitch track, then the WAV file.
#include <sys/stat.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "analysis/frame_spectra.h"
#include "formats/pitch_track.h"
#include "formats/wave_reader.h"
#include "fuzz_checks.h"
#include "io/pool.h"
#include "job/conversion_job.h"
#include "job/kept_voice_table.h"
#include "job_fixtures.h"
#include "scripted_host.h"

namespace kelditra {

namespace {

enum Flag : uint8_t {
  kUpperCaseExtension = 1 << 0,
  kTrailingBlanks = 1 << 1,
  kNoPitchTrack = 1 << 2,
  kReadOnlyOutput = 1 << 3,
  kCancelAtFirstRefresh = 1 << 4,
  kNoProgressWindow = 1 << 5,
};

// What an earlier conversion left: a failed or cancelled job must keep it.
const std::vector<uint8_t> kEarlierOutput = {'e', 'a', 'r', 'l', 'i', 'e', 'r'};

std::string gWork;    // removed at exit
std::string gInputs;  // emptied before every input
std::string gTable;
// The table is prepared once and kept across inputs, as a batch keeps it:
// preparing 64 MB per input would leave time for a handful of inputs a second.
KeptVoiceTable gKeptTable;

// On the kept table, in one thread: starting a crew per input cost more than
// the job itself, and the crew has tests and a ThreadSanitizer run of its own.
JobResult RunJob(ScriptedHost& host) {
  JobSettings settings;
  settings.voice_table_path = gTable;
  settings.kept_table = &gKeptTable;
  settings.search.threads = 1;
  return RunConversionJob(host, settings);
}

// A finished job's records: one per whole frame of the WAV file, each in range.
void CheckRecords(const std::string& bin, std::vector<uint8_t> wave, const uint8_t* track,
                  int32_t track_length) {
  const auto wave_size = static_cast<int32_t>(wave.size());
  wave.resize(wave.size() + kWaveExtraBytes, 0);
  WaveSamples samples;
  Require(!ReadWave(wave.data(), wave_size, &samples), "a finished job had a good WAV file");
  const int32_t frames = samples.count / kFrameLength;
  const std::vector<Record> records = ReadRecords(bin);
  Require(ReadBytes(bin).size() == 16u * static_cast<size_t>(frames),
          "a finished job writes one record per whole frame");
  for (int32_t r = 0; r < frames; ++r) {
    const Record& record = records[static_cast<size_t>(r)];
    const int32_t fundamental = FrameFundamental(track, track_length, r);
    Require(record.voice_high >= 0 && record.voice_high < 16384, "voice / 16 in range");
    Require(record.voice_low >= 0 && record.voice_low < 16, "voice % 16 in range");
    Require(record.gain >= 0 && record.gain <= 7922, "gain on the ladder");
    Require(record.frequency == fundamental || record.frequency == 2 * fundamental ||
                record.frequency == 0,
            "frequency is the fundamental or twice it");
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::string pattern = (std::filesystem::temp_directory_path() / "kelditra-fuzz-XXXXXX").string();
  Require(mkdtemp(pattern.data()) != nullptr, "a work folder can be made");
  gWork = pattern;
  std::atexit([] {
    std::error_code ignored;
    std::filesystem::remove_all(gWork, ignored);
  });
  gInputs = gWork + "/in";
  gTable = gWork + "/fm_table2.dat";
  std::filesystem::create_directory(gInputs);

  // A full-size table in which all but a few entries are skipped, so a job's
  // search is quick.
  RawEntry half_harmonic(128, 0), harmonic(128, 0), last(128, 0);
  half_harmonic[2] = 3000;
  half_harmonic[4] = 1500;
  harmonic[2] = 2000;
  harmonic[6] = 800;
  last[2] = 100;
  Require(WriteSparseTable(gTable, {{100, half_harmonic}, {0x1005, harmonic}, {262143, last}}),
          "the voice table can be written");

  // A table is kept once a job has prepared it, so one good job first: inputs
  // the job refuses before preparing would each load the table again.
  const std::string base = gWork + "/first";
  Require(WriteMonoWave(base + ".wav", HarmonicSound(1, 220, {5000})) &&
              WritePitchTrack(base + ".dat", {220}),
          "the first job's inputs can be written");
  ScriptedHost host;
  host.path_text = base + ".wav";
  Require(!RunJob(host).failure && host.shown.size() == 1, "the first job finishes");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const uint8_t flags = data[0];
  const size_t track_length = std::min<size_t>(data[1] | data[2] << 8, size - 3);
  const uint8_t* track = data + 3;
  const std::vector<uint8_t> wave(track + track_length, data + size);

  for (const auto& entry : std::filesystem::directory_iterator(gInputs)) {
    chmod(entry.path().c_str(), 0644);
    std::filesystem::remove(entry.path());
  }
  const std::string base = gInputs + "/take";
  const std::string wave_path = base + (flags & kUpperCaseExtension ? ".WAV" : ".wav");
  const std::string bin = base + ".bin";
  Require(WriteBytes(wave_path, wave), "WAV written");
  if (!(flags & kNoPitchTrack)) {
    Require(WriteBytes(base + ".dat", std::vector<uint8_t>(track, track + track_length)),
            "pitch track written");
  }
  Require(WriteBytes(bin, kEarlierOutput), "earlier output written");
  if (flags & kReadOnlyOutput) chmod(bin.c_str(), 0444);

  ScriptedHost host;
  host.path_text = wave_path + (flags & kTrailingBlanks ? " \t " : "");
  host.clock_step_ms = 40;
  host.create_window_fails = (flags & kNoProgressWindow) != 0;
  if (flags & kCancelAtFirstRefresh) {
    host.on_refresh = [&host](int tick) {
      if (tick == 1) host.pending.push_back(ScriptedHost::CancelAndClose);
    };
  }
  const JobResult result = RunJob(host);

  Require(host.shown.size() == 1, "every job ends in exactly one message");
  Require(!host.shown[0].text.empty(), "the message is one of the job's texts");
  Require(gBusyFlag == 0 && gProgressWindow == nullptr, "the job leaves no window and no busy flag");
  Require(PoolBlockCount() == 0, "the pool is empty between jobs");

  if (!result.failure) {
    Require(result.counts.frames * int64_t{kFrameLength} <= result.counts.samples &&
                result.counts.voiced_frames <= result.counts.frames,
            "the counts fit the sound");
    Require(!(flags & kReadOnlyOutput), "a read-only output is never replaced");
    CheckRecords(bin, wave, track, static_cast<int32_t>(track_length));
  } else {
    Require(ReadBytes(bin) == kEarlierOutput, "a job that did not finish keeps the earlier output");
  }
  for (const auto& entry : std::filesystem::directory_iterator(gInputs)) {
    const std::string name = entry.path().filename().string();
    Require(name == "take.wav" || name == "take.WAV" || name == "take.dat" || name == "take.bin",
            "a job leaves no file behind but its output");
  }
  return 0;
}

}  // namespace kelditra
