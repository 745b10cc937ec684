#include "cli/diagnosis.h"

#include <cstdint>

#include "cli/console.h"
#include "formats/parameter_file.h"
#include "formats/paths.h"
#include "formats/sound_timing.h"
#include "formats/voice_table.h"
#include "formats/wave_reader.h"
#include "io/file_problem.h"
#include "io/platform_file.h"
#include "io/whole_file.h"
#include "prepare/prepared_names.h"

namespace kelditra {

namespace {

std::string Number(int64_t value) { return std::to_string(value); }

// "take1.wav" -> "take1-44100.wav": a name for sox's output beside the input.
std::string ConvertedName(const std::string& wave) {
  return wave.substr(0, wave.size() - 4) + "-44100.wav";
}

// kelditra prepare first, which makes the track too; sox for those who have it.
std::string PrepareRemedy(const std::string& wave, Language language) {
  return Say(language, "prepare it with: kelditra prepare {1} (or: sox {1} -r 44100 -c 1 -b 16 {2})",
             "変換できる形にするには：kelditra prepare {1}（または：sox {1} -r 44100 -c 1 -b 16 {2}）",
             {ShellWord(wave), ShellWord(ConvertedName(wave))});
}

// Whether the header, as far as it can be told without loading the sound,
// is one the conversion reads.
bool ReadableAsItIs(const WaveDescription& found) {
  return found.riff_wave && found.format_chunk >= 0 && found.format_chunk < kWaveHeaderWindow &&
         found.data_chunk >= 0 && found.data_chunk < kWaveHeaderWindow && found.format_tag == 1 &&
         found.channels == 1 && found.bits_per_sample == 16 && found.sample_rate == kSampleRate &&
         found.present_data_bytes >= found.declared_data_bytes;
}

std::string DescribeRefusedWave(const Failure& failure, Language language) {
  const std::string& wave = failure.path;
  const WaveDescription& found = failure.wave;
  const int64_t length = failure.file_length;
  const std::string path = wave;
  if (length == 0) {
    // Nothing for sox to convert either.
    return Say(language, "{1} is empty (0 bytes): record or export the sound into it again",
               "{1} は空です（0 バイト）：音声を録音するか書き出し直してください", {path});
  }
  const std::string remedy = PrepareRemedy(wave, language);
  if (!found.riff_wave) {
    return Say(language, "{1} is not a RIFF WAVE file ({2} bytes); {3}",
               "{1} は RIFF WAVE ファイルではありません（{2} バイト）。{3}",
               {path, Number(length), remedy});
  }
  if (found.format_chunk < 0 || found.data_chunk < 0) {
    return Say(language, "{1} has no {2} chunk in its first {3} bytes; {4}",
               "{1} の先頭 {3} バイトに {2} チャンクがありません。{4}",
               {path, found.format_chunk < 0 ? "fmt" : "data", Number(found.bytes_looked), remedy});
  }
  if (found.format_chunk >= kWaveHeaderWindow || found.data_chunk >= kWaveHeaderWindow) {
    return Say(language,
               "the header of {1} takes {2} bytes (its data chunk starts at byte {3}), but it must "
               "lie in the first {4}; {5}",
               "{1} のヘッダは {2} バイトあり（data チャンクは {3} バイト目から）、先頭 {4} "
               "バイトに収まっていません。{5}",
               {path, Number(found.HeaderBytes()), Number(found.data_chunk),
                Number(kWaveHeaderWindow), remedy});
  }
  if (failure.kind == FailureKind::kBadDataLength) {
    return Say(language,
               "the data chunk of {1} declares {2} bytes, but only {3} follow its header: the file "
               "was cut short; {4}",
               "{1} の data チャンクは {2} バイトと宣言していますが、ヘッダの後には {3} "
               "バイトしかありません（途中で切れたファイルです）。{4}",
               {path, Number(found.declared_data_bytes), Number(found.present_data_bytes), remedy});
  }
  const char* tag_name = FormatTagName(found.format_tag);
  return Say(language,
             "{1} is {2} (format tag {3}), {4} channel(s), {5} bits, {6} Hz; kelditra reads PCM, "
             "44100 Hz, 16 bits, mono; {7}",
             "{1} は {2}（形式タグ {3}）、{4} チャンネル、{5} ビット、{6} Hz です。kelditra "
             "が読めるのは PCM・44100 Hz・16 ビット・モノラルです。{7}",
             {path, tag_name != nullptr ? tag_name : "?", Number(found.format_tag),
              Number(found.channels), Number(found.bits_per_sample), Number(found.sample_rate),
              remedy});
}

std::string DescribeNotFound(const Failure& failure, const std::string& wave,
                             Language language) {
  const std::string& missing = failure.path;
  std::vector<uint8_t> head;
  int64_t length = 0;
  // The track is looked for before the sound is read. A sound the conversion
  // would refuse anyway is said at once, so that the remedy offered is the
  // one that makes both.
  if (failure.role == FileRole::kPitchTrack &&
      ReadFileHead(wave, kWaveDescribedBytes, &head, &length)) {
    Failure refusal = FileFailure(FailureKind::kUnsupportedWave, wave);
    refusal.wave = DescribeWave(head.data(), static_cast<int64_t>(head.size()), length);
    refusal.file_length = length;
    if (refusal.wave.present_data_bytes < refusal.wave.declared_data_bytes) {
      refusal.kind = FailureKind::kBadDataLength;
    }
    if (!ReadableAsItIs(refusal.wave)) {
      return Say(language, "no pitch track {1}, and {2}", "ピッチトラック {1} がありません。また、{2}",
                 {missing, DescribeRefusedWave(refusal, language)});
    }
  }
  if (failure.role == FileRole::kPitchTrack) {
    return Say(language, "no pitch track {1} for {2}; make one with: kelditra pitch {3}",
               "{2} のピッチトラック {1} がありません。作るには：kelditra pitch {3}",
               {missing, wave, ShellWord(wave)});
  }
  if (failure.role == FileRole::kParameters) {
    return Say(language, "no parameter file {1}; convert first with: kelditra {2}",
               "パラメータファイル {1} がありません。先に変換してください：kelditra {2}",
               {missing, ShellWord(wave)});
  }
  if (failure.role == FileRole::kVoiceTable && missing != kVoiceTableName) {
    return Say(language, "no voice table {1}: check the path given with --table",
               "音色テーブル {1} がありません：--table で指定したパスを確かめてください",
               {missing});
  }
  if (failure.role == FileRole::kVoiceTable) {
    return Say(language,
               "no voice table {1}: run kelditra in the folder that holds fm_table2.dat, or name "
               "the table with --table PATH",
               "音色テーブル {1} がありません：fm_table2.dat のあるフォルダで実行するか、--table "
               "PATH で指定してください",
               {missing});
  }
  return Say(language, "{1} does not exist; check its name and folder",
             "{1} は存在しません。名前とフォルダを確かめてください", {missing});
}

std::string DescribeReadProblem(const Failure& failure, Language language) {
  const std::string& path = failure.path;
  switch (failure.problem) {
    case FileProblemKind::kNone:
    case FileProblemKind::kWriteIncomplete:
      return {};
    case FileProblemKind::kMissingFolder:
      return Say(language, "the folder of {1} does not exist", "{1} のフォルダが存在しません",
                 {path});
    case FileProblemKind::kNotRegularFile:
      return Say(language, "{1} is not a regular file (a folder, a device or a pipe)",
                 "{1} は通常のファイルではありません（フォルダ、デバイス、パイプなど）",
                 {path});
    case FileProblemKind::kPathTooLong:
      return Say(language, "{1} is {2} bytes long; a path must be shorter than {3} bytes",
                 "{1} のパスは {2} バイトです。パスは {3} バイト未満にしてください",
                 {path, Number(path.size()), Number(kMaxPathBytes)});
    case FileProblemKind::kReadOnly:
    case FileProblemKind::kSystem:
      return Say(language, "cannot open {1}: {2}; check its permissions",
                 "{1} を開けません：{2}。アクセス権を確かめてください",
                 {path, SystemErrorText(failure.system_error)});
  }
  return {};
}

// The commands that give the user write permission, in this platform's shell.
std::string WritableFileCommand(const std::string& path) {
#ifdef _WIN32
  return "attrib -r " + ShellWord(path);
#else
  return "chmod u+w " + ShellWord(path);
#endif
}

std::string WritableFolderCommand(const std::string& folder) {
#ifdef _WIN32
  return "icacls " + ShellWord(folder) + " /grant %USERNAME%:M";
#else
  return "chmod u+w " + ShellWord(folder);
#endif
}

std::string DescribeWriteProblem(const Failure& failure, Language language) {
  const std::string& path = failure.path;
  const std::string folder = FolderOf(path);
  switch (failure.problem) {
    case FileProblemKind::kReadOnly:
      return Say(language, "{1} is read-only: make it writable ({2}) or remove it",
                 "{1} は読み取り専用です：書き込めるようにする（{2}）か、削除してください",
                 {path, WritableFileCommand(path)});
    case FileProblemKind::kNotRegularFile:
      return Say(language, "{1} is in the way and is not a regular file: move it elsewhere",
                 "{1} は通常のファイルではないため置き換えられません：別の場所に移してください",
                 {path});
    case FileProblemKind::kMissingFolder:
      return Say(language, "the folder {1} does not exist", "フォルダ {1} が存在しません",
                 {folder});
    case FileProblemKind::kSystem:
      return Say(language,
                 "cannot write in the folder {1}: {2}; change its permissions ({3}) or "
                 "write elsewhere with -o DIR",
                 "フォルダ {1} に書き込めません：{2}。アクセス権を変える（{3}）か、-o DIR "
                 "で別のフォルダに書いてください",
                 {folder, SystemErrorText(failure.system_error), WritableFolderCommand(folder)});
    case FileProblemKind::kPathTooLong:
      return DescribeReadProblem(failure, language);
    case FileProblemKind::kWriteIncomplete:
    case FileProblemKind::kNone:
      break;
  }
  return Say(language, "writing {1} failed, though its folder takes new files: is the disk full?",
             "{1} の書き込みに失敗しました（フォルダには書き込めます）：ディスクがいっぱいではありませんか",
             {path});
}

std::string DescribeEmptyOrLarge(const Failure& failure, const std::string& wave,
                                 Language language) {
  if (failure.file_length == 0 && failure.role == FileRole::kVoiceTable) {
    return Say(language,
               "the voice table {1} is empty (0 bytes), where a voice table holds {2}: name the "
               "right one with --table PATH",
               "音色テーブル {1} は空です（0 バイト）。音色テーブルは {2} バイトです：--table "
               "PATH で正しいものを指定してください",
               {failure.path, Number(kVoiceTableBytes)});
  }
  if (failure.file_length == 0) {
    return Say(language, "{1} is empty (0 bytes)", "{1} は空です（0 バイト）",
               {failure.path});
  }
  return Say(language, "not enough memory for the files: {1}", "ファイルを読み込むメモリが足りません：{1}",
             {wave});
}

}  // namespace

std::string ShellWord(const std::string& path) {
  bool plain = !path.empty();
  for (const char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    plain &= byte >= 0x80 || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
             (c >= '0' && c <= '9') || std::string("_-./:+,=@%").find(c) != std::string::npos;
  }
  if (plain) return path;
#ifdef _WIN32
  // cmd.exe knows only double quotes, and no Windows name holds one.
  return "\"" + path + "\"";
#else
  std::string quoted = "'";
  for (const char c : path) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
#endif
}

std::string DetailLine(const Failure& failure, const std::string& wave, Language language) {
  switch (failure.kind) {
    case FailureKind::kNotFound:
      return DescribeNotFound(failure, wave, language);
    case FailureKind::kCannotOpen:
      if (failure.role == FileRole::kVoiceTable) {
        return Say(language, "the voice table: {1}; name the table file with --table PATH",
                   "音色テーブル：{1}。--table PATH で音色テーブルのファイルを指定してください",
                   {DescribeReadProblem(failure, language)});
      }
      return DescribeReadProblem(failure, language);
    case FailureKind::kNoMemory:
      return DescribeEmptyOrLarge(failure, wave, language);
    case FailureKind::kReadError:
      return Say(language,
                 "reading {1} came back short of its length: the device failed, or it is not an "
                 "ordinary file",
                 "{1} の読み込みが長さに満たないまま終わりました：デバイスの故障か、通常のファイルではありません",
                 {failure.path});
    case FailureKind::kUnsupportedWave:
    case FailureKind::kBadDataLength:
    case FailureKind::kNot44100Hz:
    case FailureKind::kNotMono16Bit:
      return DescribeRefusedWave(failure, language);
    case FailureKind::kWriteFailed:
      return DescribeWriteProblem(failure, language);
    case FailureKind::kBadVoiceTableSize:
      return Say(language,
                 "the voice table {1} holds {2} bytes, not {3}: name the right one with --table PATH",
                 "音色テーブル {1} は {2} バイトで、{3} バイトではありません：--table PATH "
                 "で正しいものを指定してください",
                 {failure.path, Number(failure.file_length), Number(kVoiceTableBytes)});
    case FailureKind::kWaveTooLong:
      return Say(language,
                 "{1} holds {2} frames, more than the {3} (72 min 49 s) one conversion holds: cut "
                 "it into parts, for example with: sox {4} {5} trim 0 4300",
                 "{1} は {2} フレームあり、1 回の変換で扱える {3} フレーム（72 分 49 秒）を超えています。"
                 "分けてください。例：sox {4} {5} trim 0 4300",
                 {failure.path, Number(failure.frames), Number(kRecordCapacity),
                  ShellWord(failure.path), ShellWord(ConvertedName(failure.path))});
    case FailureKind::kNotWaveFile:
      // A recording by another name: an .ogg, say.
      if (FileIdentity found; IdentityOf(failure.path.c_str(), &found)) {
        return Say(language,
                   "{1} is not a WAV file: prepare the recording with: kelditra prepare {2}, "
                   "then convert the {3} it writes",
                   "{1} は WAV ファイルではありません。録音を変換できる形にするには：kelditra prepare "
                   "{2}（その後、書き出された {3} を変換してください）",
                   {failure.path, ShellWord(failure.path), PreparedWavePath(failure.path, "")});
      }
      return Say(language,
                 "{1} does not end in .wav: give the WAV file; its pitch track FILE.dat is read "
                 "from beside it",
                 "{1} の名前が .wav で終わっていません：WAV ファイルを指定してください（ピッチトラック "
                 "FILE.dat はその隣から読みます）",
                 {failure.path});
    case FailureKind::kCancelled:
      return Say(language, "stopped by Ctrl-C; {1} is as it was", "Ctrl-C で中止しました。{1} は元のままです",
                 {failure.path});
    case FailureKind::kNone:
    case FailureKind::kBusy:
    case FailureKind::kNoPerformanceCounter:
    case FailureKind::kBadParameterFile:
      break;
  }
  return {};
}

void TakeCounts(const SoundCounts& counts, const JobFiles& files, Language language,
                FileOutcome* outcome) {
  if (counts.frames < 0) return;
  outcome->frames = counts.frames;
  outcome->voiced_frames = counts.voiced_frames;
  outcome->sound_seconds = static_cast<double>(counts.samples) / kSampleRate;
  if (counts.samples < kFrameLength) {
    outcome->warnings.push_back(
        Say(language, "{1} is shorter than one frame (735 samples, 1/60 s): {2} holds no records",
            "{1} は 1 フレーム（735 サンプル、1/60 秒）より短いため、{2} にはレコードがありません",
            {files.wave, files.output}));
  } else if (counts.frames - counts.track_frames > 1) {
    outcome->warnings.push_back(Say(
        language, "the pitch track {1} has {2} frames, the sound {3}: the last {4} read 0 Hz",
        "ピッチトラック {1} は {2} フレーム、音声は {3} フレームです：最後の {4} フレームは 0 Hz "
        "として読みました",
        {files.track, Number(counts.track_frames), Number(counts.frames),
         Number(counts.frames - counts.track_frames)}));
  } else if (counts.track_frames - counts.frames > 1) {
    outcome->warnings.push_back(Say(
        language,
        "the pitch track {1} has {2} frames, the sound only {3}: is it the track of this sound?",
        "ピッチトラック {1} は {2} フレームありますが、音声は {3} フレームしかありません：この音声の"
        "ピッチトラックですか",
        {files.track, Number(counts.track_frames), Number(counts.frames)}));
  }
}

}  // namespace kelditra
