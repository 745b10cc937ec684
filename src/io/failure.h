#pragma once

#include <cstdint>
#include <string>

namespace kelditra {

// What went wrong, made where it happened and handed up unchanged: the
// loader, the readers, the job, the preview, the report and the pitch job all
// return one. Only the front ends turn it into words (the dialog's message
// box, the command line's outcome and detail lines), so nothing has to guess
// afterwards which file it was about or why.
enum class FailureKind {
  kNone,                  // it went well
  kBusy,                  // a job is running already; nothing is said
  kNoPerformanceCounter,
  kNotWaveFile,           // the name does not end in .wav
  kNotFound,              // no such file, in a folder that exists
  kCannotOpen,            // see problem
  kNoMemory,              // too long for a 32-bit length, or the pool had no block
  kReadError,             // the read came back short of the file's length
  kUnsupportedWave,       // not a RIFF WAVE file the reader can find its way in, or not PCM
  kBadDataLength,         // the data chunk declares more than the file holds
  kNot44100Hz,
  kNotMono16Bit,
  kBadVoiceTableSize,     // shorter than a voice table
  kWaveTooLong,           // more frames than one parameter file holds
  kBadParameterFile,      // not whole records, too many, or a field out of range
  kWriteFailed,           // see problem
  kCancelled,
};

// Which of a command's files a failure is about.
enum class FileRole { kOther, kSound, kPitchTrack, kVoiceTable, kParameters, kOutput };

// What stood in the way of opening a file, or of replacing it.
enum class FileProblemKind {
  kNone,
  kMissingFolder,    // a folder on the way does not exist
  kNotRegularFile,   // a folder, a device, a pipe
  kReadOnly,         // the file to be replaced has no write permission
  kPathTooLong,      // kMaxPathBytes or more, refused on every platform
  kSystem,           // system_error says
  kWriteIncomplete,  // created, but its bytes did not all reach the disk
};

// What a WAV file's header was found to hold, as far into the file as the
// describing walk looked (further than the reader's window), so that a user
// can be told why the file was refused and what would make it acceptable.
struct WaveDescription {
  int64_t bytes_looked = 0;      // how much of the file the walk had
  bool riff_wave = false;        // "RIFF" ... "WAVE" at the start
  int64_t format_chunk = -1;     // where the "fmt " chunk begins, -1 when not met
  int64_t data_chunk = -1;       // where the "data" chunk begins, -1 when not met
  uint16_t format_tag = 0;       // 1 PCM, 3 IEEE float, 0xFFFE extensible
  uint16_t channels = 0;
  uint32_t sample_rate = 0;
  uint16_t bits_per_sample = 0;
  int64_t declared_data_bytes = 0;
  int64_t present_data_bytes = 0;  // what the file holds after the data chunk's header
  // Samples of one channel the declared data holds (those present, when fewer).
  int64_t sample_frames = 0;

  // Where the samples start: the header's size.
  int64_t HeaderBytes() const { return data_chunk < 0 ? -1 : data_chunk + 8; }
};

// The first record of a parameter file that cannot be sounded.
struct RecordFault {
  int64_t record = -1;          // -1: the file as a whole (see the file's length)
  const char* field = nullptr;  // "frequency", ...
  int64_t value = 0;
  int64_t highest = 0;
};

struct Failure {
  FailureKind kind = FailureKind::kNone;
  std::string path;  // the file it is about, UTF-8 as every path inside the program
  FileRole role = FileRole::kOther;
  FileProblemKind problem = FileProblemKind::kNone;
  int64_t system_error = 0;  // errno, or GetLastError() on Windows; 0 when none
  int64_t file_length = -1;  // -1: not known
  int64_t frames = -1;       // kWaveTooLong: the sound's whole frames
  WaveDescription wave;      // the WAV refusals
  RecordFault record;        // kBadParameterFile

  // True when something went wrong.
  explicit operator bool() const { return kind != FailureKind::kNone; }
};

// A failure about the file at path.
inline Failure FileFailure(FailureKind kind, const std::string& path,
                           FileProblemKind problem = FileProblemKind::kNone,
                           int64_t system_error = 0) {
  Failure failure;
  failure.kind = kind;
  failure.path = path;
  failure.problem = problem;
  failure.system_error = system_error;
  return failure;
}

// The same failure, told which of the command's files it is about.
inline Failure InRole(Failure failure, FileRole role) {
  failure.role = role;
  return failure;
}

}  // namespace kelditra
