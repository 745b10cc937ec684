#include "cli/prepare_command.h"

#include <cstdio>
#include <string>

#include "cli/batch.h"
#include "cli/common_options.h"
#include "cli/console.h"
#include "cli/core_messages.h"
#include "cli/diagnosis.h"
#include "prepare/prepare_job.h"

namespace kelditra {

const CommandSpec kPrepareCommand = {
    "prepare",
    "[options] FILE...",
    "any recording to FILE.wav and its pitch track, ready to convert",
    "Reads each recording (WAV of any rate, width and channel count, AIFF, FLAC,\n"
    "OGG Vorbis or Opus, MP3), mixes its channels to one (their mean; a channel\n"
    "silent from start to end is left out, so a recording on one side of a\n"
    "stereo input keeps its level), resamples it to 44100 Hz, rounds it to 16\n"
    "bits (samples beyond full scale are clipped and counted) and writes it with\n"
    "its pitch track, ready for: kelditra FILE.wav\n"
    "\n"
    "Names: take.ogg gives take.wav and take.dat; a WAV file gives FILE-44100.wav\n"
    "and FILE-44100.dat beside it, so the recording keeps its own name. A WAV file\n"
    "the conversion already reads is left as it is and gets only FILE.dat.\n"
    "Nothing is ever replaced: a file in the way of a name is a failure, and\n"
    "the recording itself is never changed. The track is made with the pitch\n"
    "command's defaults; kelditra pitch --force FILE.wav makes it again with\n"
    "other settings."
#ifdef _WIN32
    "\n\nOn Windows the recording is read by Windows' own decoders: WAV and MP3\n"
    "always, FLAC and AAC on Windows 10 and later, OGG only with Microsoft's Web\n"
    "Media Extensions."
#endif
    ,
    {{kOutputFolderOption.name, kOutputFolderOption.short_name, kOutputFolderOption.value_name,
      kOutputFolderOption.value_noun,
      "write the WAV file and its track into DIR, not\nbeside each recording"},
     kJsonOption},
    kOutcomeHelp,
};

namespace {

#ifdef _WIN32
constexpr const char* kReadableEnglish =
    "on Windows, kelditra prepare reads what Windows' own decoders read: WAV and MP3 always, "
    "FLAC and AAC on Windows 10 and later, OGG only with Microsoft's Web Media Extensions; "
    "otherwise convert it first with: sox FILE -r 44100 -c 1 -b 16 FILE-44100.wav";
constexpr const char* kReadableJapanese =
    "Windows の kelditra prepare が読めるのは Windows 自身のデコーダが読める形式です：WAV と MP3 "
    "は常に、FLAC と AAC は Windows 10 以降、OGG は Microsoft の Web メディア拡張機能がある場合のみ。"
    "それ以外は先に変換してください：sox FILE -r 44100 -c 1 -b 16 FILE-44100.wav";
#else
constexpr const char* kReadableEnglish =
    "kelditra prepare reads WAV, AIFF, FLAC, OGG Vorbis or Opus and MP3";
constexpr const char* kReadableJapanese =
    "kelditra prepare が読めるのは WAV・AIFF・FLAC・OGG Vorbis/Opus・MP3 です";
#endif

std::string Number(int64_t value) { return std::to_string(value); }

// "4.2 s", "3 min 05 s", "1 h 02 min 03 s"
std::string Duration(double seconds) {
  char text[48];
  const auto whole = static_cast<int64_t>(seconds);
  if (seconds < 60) {
    std::snprintf(text, sizeof text, "%.1f s", seconds);
  } else if (whole < 3600) {
    std::snprintf(text, sizeof text, "%lld min %02lld s", static_cast<long long>(whole / 60),
                  static_cast<long long>(whole % 60));
  } else {
    std::snprintf(text, sizeof text, "%lld h %02lld min %02lld s",
                  static_cast<long long>(whole / 3600), static_cast<long long>(whole / 60 % 60),
                  static_cast<long long>(whole % 60));
  }
  return text;
}

FileOutcome Failed(Language language, const char* english, const char* japanese,
                   std::string detail) {
  FileOutcome outcome = FailedOutcome(Say(language, english, japanese));
  outcome.detail = std::move(detail);
  return outcome;
}

FileOutcome DescribeFailure(const PrepareFailure& failure, const std::string& recording,
                            Language language) {
  const std::string path = failure.path;
  const std::string shown = recording;
  switch (failure.kind) {
    case PrepareFailureKind::kNone:
      break;
    case PrepareFailureKind::kCannotRead:
      return Failed(language, "cannot read the recording", "録音を読めません",
                    DetailLine(InRole(FileFailure(failure.missing ? FailureKind::kNotFound
                                                                  : FailureKind::kCannotOpen,
                                                  failure.path, failure.file_problem.kind,
                                                  failure.file_problem.system_error),
                                      FileRole::kSound),
                               failure.path, language));
    case PrepareFailureKind::kNotARecording:
      return Failed(language, "not a recording kelditra reads", "kelditra が読める録音ではありません",
                    Say(language, "no decoder reads {1} ({2}); {3}", "{1} を読めるデコーダがありません（{2}）。{3}",
                        {shown, failure.reason, Say(language, kReadableEnglish, kReadableJapanese)}));
    case PrepareFailureKind::kDamaged: {
      const std::string why = failure.reason.empty() ? "" : " (" + failure.reason + ")";
      const std::string detail =
          failure.seconds > 0
              ? Say(language,
                    "{1} could be read for {2} only{3}: it was cut short or is damaged; nothing "
                    "was written",
                    "{1} は {2} までしか読めませんでした{3}。途中で切れたか壊れたファイルです。"
                    "何も書き込んでいません",
                    {shown, Duration(failure.seconds), why})
              : Say(language,
                    "{1} could not be read past its start{2}: it was cut short or is damaged; "
                    "nothing was written",
                    "{1} は先頭から先を読めませんでした{2}。途中で切れたか壊れたファイルです。"
                    "何も書き込んでいません",
                    {shown, why});
      return Failed(language, "the recording is damaged", "録音が壊れています", detail);
    }
    case PrepareFailureKind::kUnusableLayout:
      return Failed(language, "not a recording kelditra reads", "kelditra が読める録音ではありません",
                    Say(language,
                        "{1} says it holds {2} channel(s) at {3} Hz; kelditra prepare takes 1 to 64 "
                        "channels at 1000 to 768000 Hz",
                        "{1} は {3} Hz・{2} チャンネルとされています。kelditra prepare が扱えるのは "
                        "1000〜768000 Hz・1〜64 チャンネルです",
                        {shown, Number(failure.channels), Number(failure.rate)}));
    case PrepareFailureKind::kEmpty:
      return Failed(language, "the recording is empty", "録音が空です",
                    Say(language, "{1} holds no samples: there is nothing to prepare",
                        "{1} にはサンプルがありません。準備するものがありません", {shown}));
    case PrepareFailureKind::kShorterThanFrame:
      return Failed(language, "the recording is too short", "録音が短すぎます",
                    Say(language,
                        "{1} lasts less than one frame (1/60 s): there would be nothing to convert",
                        "{1} は 1 フレーム（1/60 秒）より短いため、変換するものがありません", {shown}));
    case PrepareFailureKind::kTooLong: {
      const std::string length =
          failure.seconds > 0 ? Say(language, "lasts {1}", "の長さは {1} で", {Duration(failure.seconds)})
                              : Say(language, "is longer", "は長く");
      return Failed(language, "the recording is too long", "録音が長すぎます",
                    Say(language,
                        "{1} {2}, more than the 72 min 49 s one conversion holds: cut it into "
                        "parts first, for example with: sox {3} part.wav trim 0 4300 : newfile : "
                        "restart",
                        "{1} {2}、1 回の変換で扱える 72 分 49 秒を超えています。先に分けてください。"
                        "例：sox {3} part.wav trim 0 4300 : newfile : restart",
                        {shown, length, ShellWord(shown)}));
    }
    case PrepareFailureKind::kNoMemory:
      return Failed(language, "not enough memory", "メモリが足りません",
                    Say(language,
                        "not enough memory to hold {1} at 44100 Hz (about 640 MB an hour); "
                        "nothing was written",
                        "{1} を 44100 Hz で保持するメモリが足りません（1 時間あたり約 640 MB）。"
                        "何も書き込んでいません",
                        {shown}));
    case PrepareFailureKind::kNameTaken:
      return Failed(language, "a file of that name is already there", "同じ名前のファイルがすでにあります",
                    Say(language,
                        "{1} is already there, and kelditra prepare never replaces a file: move or "
                        "remove it, or write elsewhere with -o DIR",
                        "{1} がすでにあります。kelditra prepare はファイルを置き換えません。移動するか"
                        "削除するか、-o DIR で別のフォルダに書いてください",
                        {path}));
    case PrepareFailureKind::kWriteFailed: {
      FileOutcome outcome = FailedOutcome(LocalizedMessage(MessageId::kWriteFailed, language));
      outcome.detail = DetailLine(
          InRole(FileFailure(FailureKind::kWriteFailed, failure.path, failure.file_problem.kind,
                             failure.file_problem.system_error),
                 FileRole::kOutput),
          failure.path, language);
      return outcome;
    }
    case PrepareFailureKind::kNotOnThisPlatform:
      return Failed(language, "this recording cannot be read on Windows",
                    "この録音は Windows では読めません",
                    Say(language, "{1}: {2}", "{1}：{2}", {shown, failure.reason}));
  }
  return {};
}

FileOutcome DescribeSuccess(const PrepareOutcome& made, const std::string& recording,
                            Language language) {
  FileOutcome outcome;
  outcome.frames = made.frames;
  outcome.voiced_frames = made.voiced_frames;
  outcome.sound_seconds = static_cast<double>(made.samples) / 44100;
  const std::string wave = made.wave_path;
  const std::string track = made.track_path;
  const std::string counts[] = {Number(made.frames), Number(made.voiced_frames),
                                "kelditra " + ShellWord(wave)};
  if (made.taken_as_it_is) {
    outcome.message = Say(language,
                          "read as it is; wrote {1}: {2} frames, {3} voiced; next: {4}",
                          "そのまま読めます。{1} を書き込みました：{2} フレーム、有声 {3}。次は：{4}",
                          {track, counts[0], counts[1], counts[2]});
    return outcome;
  }
  outcome.message = Say(
      language,
      "wrote {1} and {2}: {3} from {4} Hz, {5} channel(s); {6} frames, {7} voiced, {8} samples "
      "clipped; next: {9}",
      "{1} と {2} を書き込みました：{3}（元は {4} Hz・{5} チャンネル）、{6} フレーム、有声 {7}、"
      "クリップ {8} サンプル。次は：{9}",
      {wave, track, Duration(outcome.sound_seconds), Number(made.source_rate),
       Number(made.source_channels), counts[0], counts[1], Number(made.clipped), counts[2]});
  if (made.clipped > 0) {
    outcome.warnings.push_back(Say(
        language, "{1} samples of {2} lay beyond full scale and were clipped to it",
        "{2} の {1} サンプルがフルスケールを超えていたため、フルスケールに収めました",
        {Number(made.clipped), recording}));
  }
  if (made.silent_channels > 0) {
    outcome.warnings.push_back(Say(
        language, "{1} of the {2} channels of {3} held only silence and were left out of the mix",
        "{3} の {2} チャンネルのうち {1} チャンネルは無音だったため、ミックスから外しました",
        {Number(made.silent_channels), Number(made.source_channels), recording}));
  }
  return outcome;
}

}  // namespace

int RunPrepareCommand(const ParsedArguments& parsed, Language language) {
  PrepareSettings settings;
  BatchOptions batch;
  const std::string problem = ReadOutputOptions(parsed, language, &settings.output_folder, &batch);
  if (!problem.empty()) return UsageError(kPrepareCommand, problem);

  return RunBatch(parsed.files, batch, [&](const std::string& file) {
    const PrepareOutcome made = RunPrepareJob(file, settings);
    return made.failure.failed() ? DescribeFailure(made.failure, file, language)
                                 : DescribeSuccess(made, file, language);
  });
}

}  // namespace kelditra
