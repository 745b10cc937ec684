#include "cli/diagnosis.h"

#include <cstdint>

#include "analysis/frame_spectra.h"
#include "cli/console.h"
#include "cli/core_messages.h"
#include "formats/parameter_file.h"
#include "formats/paths.h"
#include "formats/pitch_track.h"
#include "formats/voice_table.h"
#include "formats/wave_description.h"
#include "formats/wave_reader.h"
#include "io/file_problem.h"
#include "io/platform_file.h"
#include "io/whole_file.h"
#include "prepare/prepared_names.h"

namespace {

// Enough for any header a recorder writes, and far past the reader's window.
constexpr uint32_t kHeaderBytesLooked = 65536;
constexpr int32_t kSampleRate = 44100;

std::string Shown(const std::string& path) { return path; }

std::string Number(int64_t value) { return std::to_string(value); }

int64_t LengthOf(const std::string& path) {
  std::vector<uint8_t> head;
  int64_t length = -1;
  return ReadFileHead(path, 0, &head, &length) ? length : -1;
}

// "take1.wav" -> "take1-44100.wav": a name for sox's output beside the input.
std::string ConvertedName(const std::string& wave) {
  return wave.substr(0, wave.size() - 4) + "-44100.wav";
}

// kelditra prepare first, which makes the track too; sox for those who have it.
std::string PrepareRemedy(const std::string& wave, Language language) {
  return Say(language, "prepare it with: kelditra prepare {1} (or: sox {1} -r 44100 -c 1 -b 16 {2})",
             "変換できる形にするには：kelditra prepare {1}（または：sox {1} -r 44100 -c 1 -b 16 {2}）",
             {ShellWord(Shown(wave)), ShellWord(Shown(ConvertedName(wave)))});
}

// Whether the header, as far as it can be told without loading the sound,
// is one the conversion reads.
bool ReadableAsItIs(const WaveDescription& found) {
  return found.riff_wave && found.format_chunk >= 0 && found.format_chunk < kWaveHeaderWindow &&
         found.data_chunk >= 0 && found.data_chunk < kWaveHeaderWindow && found.format_tag == 1 &&
         found.channels == 1 && found.bits_per_sample == 16 && found.sample_rate == kSampleRate &&
         found.present_data_bytes >= found.declared_data_bytes;
}

std::string DescribeRefusedWave(MessageId id, const std::string& wave, Language language) {
  std::vector<uint8_t> head;
  int64_t length = 0;
  if (!ReadFileHead(wave, kHeaderBytesLooked, &head, &length)) return {};
  const WaveDescription found = DescribeWave(head.data(), static_cast<int64_t>(head.size()), length);
  const std::string path = Shown(wave);
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
               {path, found.format_chunk < 0 ? "fmt" : "data", Number(head.size()), remedy});
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
  if (id == MessageId::kBadDataLength) {
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

std::string DescribeNotFound(const std::string& missing, const JobFiles& files,
                             Language language) {
  std::vector<uint8_t> head;
  int64_t length = 0;
  if (missing == files.track && ReadFileHead(files.wave, kHeaderBytesLooked, &head, &length)) {
    const WaveDescription found =
        DescribeWave(head.data(), static_cast<int64_t>(head.size()), length);
    // The conversion looks for the track before it reads the sound; a track
    // alone would only lead to the sound's own refusal.
    if (!ReadableAsItIs(found)) {
      const MessageId refusal = found.present_data_bytes < found.declared_data_bytes
                                    ? MessageId::kBadDataLength
                                    : MessageId::kUnsupportedWave;
      return Say(language, "no pitch track {1}, and {2}", "ピッチトラック {1} がありません。また、{2}",
                 {Shown(missing), DescribeRefusedWave(refusal, files.wave, language)});
    }
  }
  if (missing == files.track) {
    return Say(language, "no pitch track {1} for {2}; make one with: kelditra pitch {3}",
               "{2} のピッチトラック {1} がありません。作るには：kelditra pitch {3}",
               {Shown(missing), Shown(files.wave), ShellWord(Shown(files.wave))});
  }
  if (missing == files.parameters) {
    return Say(language, "no parameter file {1}; convert first with: kelditra {2}",
               "パラメータファイル {1} がありません。先に変換してください：kelditra {2}",
               {Shown(missing), ShellWord(Shown(files.wave))});
  }
  if (missing == files.table && files.table != kVoiceTableName) {
    return Say(language, "no voice table {1}: check the path given with --table",
               "音色テーブル {1} がありません：--table で指定したパスを確かめてください",
               {Shown(missing)});
  }
  if (missing == files.table) {
    return Say(language,
               "no voice table {1}: run kelditra in the folder that holds fm_table2.dat, or name "
               "the table with --table PATH",
               "音色テーブル {1} がありません：fm_table2.dat のあるフォルダで実行するか、--table "
               "PATH で指定してください",
               {Shown(missing)});
  }
  return Say(language, "{1} does not exist; check its name and folder",
             "{1} は存在しません。名前とフォルダを確かめてください", {Shown(missing)});
}

}  // namespace

std::string DescribeReadProblem(const std::string& path, const FileProblem& problem,
                                Language language) {
  switch (problem.kind) {
    case FileProblemKind::kNone:
      return {};
    case FileProblemKind::kMissing:
      return Say(language, "{1} does not exist", "{1} は存在しません", {Shown(path)});
    case FileProblemKind::kMissingFolder:
      return Say(language, "the folder of {1} does not exist", "{1} のフォルダが存在しません",
                 {Shown(path)});
    case FileProblemKind::kNotRegularFile:
      return Say(language, "{1} is not a regular file (a folder, a device or a pipe)",
                 "{1} は通常のファイルではありません（フォルダ、デバイス、パイプなど）",
                 {Shown(path)});
    case FileProblemKind::kPathTooLong:
      return Say(language, "{1} is {2} bytes long; a path must be shorter than {3} bytes",
                 "{1} のパスは {2} バイトです。パスは {3} バイト未満にしてください",
                 {Shown(path), Number(path.size()), Number(kMaxPathBytes)});
    case FileProblemKind::kReadOnly:
    case FileProblemKind::kSystem:
      return Say(language, "cannot open {1}: {2}; check its permissions",
                 "{1} を開けません：{2}。アクセス権を確かめてください",
                 {Shown(path), problem.reason});
  }
  return {};
}

std::string DescribeWriteProblem(const std::string& path, Language language) {
  const FileProblem problem = ProbeWriting(path);
  const std::string folder = Shown(FolderOf(path));
  switch (problem.kind) {
    case FileProblemKind::kReadOnly:
      return Say(language, "{1} is read-only: make it writable (chmod u+w {2}) or remove it",
                 "{1} は読み取り専用です：書き込めるようにする（chmod u+w {2}）か、削除してください",
                 {Shown(path), ShellWord(Shown(path))});
    case FileProblemKind::kNotRegularFile:
      return Say(language, "{1} is in the way and is not a regular file: move it elsewhere",
                 "{1} は通常のファイルではないため置き換えられません：別の場所に移してください",
                 {Shown(path)});
    case FileProblemKind::kMissingFolder:
      return Say(language, "the folder {1} does not exist", "フォルダ {1} が存在しません",
                 {folder});
    case FileProblemKind::kSystem:
      return Say(language,
                 "cannot write in the folder {1}: {2}; change its permissions (chmod u+w {3}) or "
                 "write elsewhere with -o DIR",
                 "フォルダ {1} に書き込めません：{2}。アクセス権を変える（chmod u+w {3}）か、-o DIR "
                 "で別のフォルダに書いてください",
                 {folder, problem.reason, ShellWord(folder)});
    case FileProblemKind::kPathTooLong:
      return DescribeReadProblem(path, problem, language);
    case FileProblemKind::kMissing:
    case FileProblemKind::kNone:
      break;
  }
  return Say(language, "writing {1} failed, though its folder takes new files: is the disk full?",
             "{1} の書き込みに失敗しました（フォルダには書き込めます）：ディスクがいっぱいではありませんか",
             {Shown(path)});
}

namespace {

// The loads run table, pitch track, sound: the first that cannot be had is
// the one the message was about.
std::vector<std::string> LoadOrder(const JobFiles& files) {
  std::vector<std::string> order;
  for (const std::string* path : {&files.table, &files.parameters, &files.track, &files.wave}) {
    if (!path->empty()) order.push_back(*path);
  }
  return order;
}

std::string DescribeEmptyOrLarge(const JobFiles& files, Language language) {
  for (const std::string& path : LoadOrder(files)) {
    const int64_t length = LengthOf(path);
    if (length == 0 && path == files.table) {
      return Say(language,
                 "the voice table {1} is empty (0 bytes), where a voice table holds {2}: name the "
                 "right one with --table PATH",
                 "音色テーブル {1} は空です（0 バイト）。音色テーブルは {2} バイトです：--table "
                 "PATH で正しいものを指定してください",
                 {Shown(path), Number(kVoiceTableBytes)});
    }
    if (length == 0) {
      return Say(language, "{1} is empty (0 bytes)", "{1} は空です（0 バイト）", {Shown(path)});
    }
  }
  return Say(language, "not enough memory for the files: {1}", "ファイルを読み込むメモリが足りません：{1}",
             {Shown(files.wave)});
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

std::string DiagnoseFailure(const std::string& core_message, const JobFiles& files,
                            Language language) {
  const CoreMessage message = IdentifyMessage(core_message);
  if (!message.id) return {};
  switch (*message.id) {
    case MessageId::kFileNotFoundSuffix:
      return DescribeNotFound(message.missing_path, files, language);
    case MessageId::kCannotOpen:
      for (const std::string& path : LoadOrder(files)) {
        const std::string said = DescribeReadProblem(path, ProbeReading(path), language);
        if (said.empty()) continue;
        if (path != files.table) return said;
        return Say(language, "the voice table: {1}; name the table file with --table PATH",
                   "音色テーブル：{1}。--table PATH で音色テーブルのファイルを指定してください",
                   {said});
      }
      return {};
    case MessageId::kNoMemory:
      return DescribeEmptyOrLarge(files, language);
    case MessageId::kReadError:
      return Say(language,
                 "reading {1} came back short of its length: the device failed, or it is not an "
                 "ordinary file",
                 "{1} の読み込みが長さに満たないまま終わりました：デバイスの故障か、通常のファイルではありません",
                 {Shown(files.wave)});
    case MessageId::kUnsupportedWave:
    case MessageId::kBadDataLength:
    case MessageId::kNot44100Hz:
    case MessageId::kNotMono16Bit:
      return DescribeRefusedWave(*message.id, files.wave, language);
    case MessageId::kWriteFailed:
      return DescribeWriteProblem(files.output, language);
    case MessageId::kBadVoiceTableSize:
      return Say(language,
                 "the voice table {1} holds {2} bytes, not {3}: name the right one with --table PATH",
                 "音色テーブル {1} は {2} バイトで、{3} バイトではありません：--table PATH "
                 "で正しいものを指定してください",
                 {Shown(files.table), Number(LengthOf(files.table)), Number(kVoiceTableBytes)});
    case MessageId::kWaveTooLong: {
      FileOutcome measured;
      MeasureSound(files, language, &measured);
      return Say(language,
                 "{1} holds {2} frames, more than the {3} (72 min 49 s) one conversion holds: cut "
                 "it into parts, for example with: sox {4} {5} trim 0 4300",
                 "{1} は {2} フレームあり、1 回の変換で扱える {3} フレーム（72 分 49 秒）を超えています。"
                 "分けてください。例：sox {4} {5} trim 0 4300",
                 {Shown(files.wave), Number(measured.frames), Number(kRecordCapacity),
                  ShellWord(Shown(files.wave)), ShellWord(Shown(ConvertedName(files.wave)))});
    }
    case MessageId::kNotWaveFile:
      if (LengthOf(files.wave) >= 0) {
        return Say(language,
                   "{1} is not a WAV file: prepare the recording with: kelditra prepare {2}, "
                   "then convert the {3} it writes",
                   "{1} は WAV ファイルではありません。録音を変換できる形にするには：kelditra prepare "
                   "{2}（その後、書き出された {3} を変換してください）",
                   {Shown(files.wave), ShellWord(Shown(files.wave)),
                    Shown(PreparedWavePath(files.wave, ""))});
      }
      return Say(language,
                 "{1} does not end in .wav: give the WAV file; its pitch track FILE.dat is read "
                 "from beside it",
                 "{1} の名前が .wav で終わっていません：WAV ファイルを指定してください（ピッチトラック "
                 "FILE.dat はその隣から読みます）",
                 {Shown(files.wave)});
    case MessageId::kCancelled:
      return Say(language, "stopped by Ctrl-C; {1} is as it was", "Ctrl-C で中止しました。{1} は元のままです",
                 {Shown(files.output)});
    case MessageId::kNoPerformanceCounter:
    case MessageId::kFinished:
    case MessageId::kProgressPrefix:
      break;
  }
  return {};
}

void MeasureSound(const JobFiles& files, Language language, FileOutcome* outcome) {
  std::vector<uint8_t> head;
  int64_t length = 0;
  if (!ReadFileHead(files.wave, kHeaderBytesLooked, &head, &length)) return;
  const WaveDescription sound = DescribeWave(head.data(), static_cast<int64_t>(head.size()), length);
  outcome->frames = sound.sample_frames / kFrameLength;
  outcome->sound_seconds = static_cast<double>(sound.sample_frames) / kSampleRate;

  std::vector<uint8_t> track;
  int64_t track_length = 0;
  const uint64_t wanted = static_cast<uint64_t>(outcome->frames) * kPitchRecordBytes;
  if (files.track.empty() ||
      !ReadFileHead(files.track, static_cast<uint32_t>(std::min<uint64_t>(wanted, UINT32_MAX)),
                    &track, &track_length)) {
    return;
  }
  outcome->voiced_frames = 0;
  for (int32_t frame = 0; frame < outcome->frames; ++frame) {
    const int32_t hz = FrameFundamental(track.data(), static_cast<int32_t>(track.size()), frame);
    outcome->voiced_frames += hz > 0 ? 1 : 0;
  }

  const int64_t track_frames = track_length / kPitchRecordBytes;
  if (sound.sample_frames < kFrameLength) {
    outcome->warnings.push_back(
        Say(language, "{1} is shorter than one frame (735 samples, 1/60 s): {2} holds no records",
            "{1} は 1 フレーム（735 サンプル、1/60 秒）より短いため、{2} にはレコードがありません",
            {Shown(files.wave), Shown(files.output)}));
  } else if (outcome->frames - track_frames > 1) {
    outcome->warnings.push_back(Say(
        language, "the pitch track {1} has {2} frames, the sound {3}: the last {4} read 0 Hz",
        "ピッチトラック {1} は {2} フレーム、音声は {3} フレームです：最後の {4} フレームは 0 Hz "
        "として読みました",
        {Shown(files.track), Number(track_frames), Number(outcome->frames),
         Number(outcome->frames - track_frames)}));
  } else if (track_frames - outcome->frames > 1) {
    outcome->warnings.push_back(Say(
        language,
        "the pitch track {1} has {2} frames, the sound only {3}: is it the track of this sound?",
        "ピッチトラック {1} は {2} フレームありますが、音声は {3} フレームしかありません：この音声の"
        "ピッチトラックですか",
        {Shown(files.track), Number(track_frames), Number(outcome->frames)}));
  }
}
