#pragma once

#include <string>
#include <vector>

namespace kelditra {

// A fresh scratch folder per test, removed afterwards.
class ScratchFolder {
 public:
  ScratchFolder();
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// The Japanese texts in UTF-8, written apart from the program's Shift-JIS store.
namespace utf8 {
inline constexpr const char* kNoPerformanceCounter =
    "時間の計測ができません（高分解能パフォーマンスカウンタがサポートされていません）";
inline constexpr const char* kNotWaveFile = "WAVEファイルを指定して下さい";
inline constexpr const char* kFileNotFoundSuffix = "ファイルが見つかりません : file not found";
inline constexpr const char* kCannotOpen = "ファイルをオープンできません";
inline constexpr const char* kNoMemory = "メモリを確保できませんでした";
inline constexpr const char* kReadError = "読込エラー";
inline constexpr const char* kUnsupportedWave = "このファイルは扱えません";
inline constexpr const char* kBadDataLength = "データ長が正しくありません";
inline constexpr const char* kNot44100Hz = "44100Hzではありません";
inline constexpr const char* kNotMono16Bit = "モノラル 16bitではありません";
inline constexpr const char* kCancelled = "中止しました";
inline constexpr const char* kWriteFailed = "ファイルの書込に失敗しました";
inline constexpr const char* kFinished = "終了しました";
inline constexpr const char* kBadVoiceTableSize = "音色テーブルのサイズが正しくありません";
inline constexpr const char* kWaveTooLong = "WAVEファイルが長すぎます";
inline constexpr const char* kProgressPrefix = "進行率 ";
}  // namespace utf8

// A finished process: exit status (or 128 + signal), output, peak resident size.
struct ProcessResult {
  int status = -1;
  std::string out;
  std::string err;
  long peak_kib = 0;
  long resident_at_exit_kib = 0;  // RunProcessMeasuringExit only
};

// Unless a test asks for another locale, so that outcome lines are the Windows texts.
inline constexpr const char* kJapaneseLocale = "ja_JP.UTF-8";

// Runs program in folder (empty: the current one), stdin from /dev/null, under
// the locale given as LANG (LC_ALL and LC_MESSAGES unset).
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& folder = "",
                         const std::string& locale = kJapaneseLocale);

// Also measures the resident size left when the program exits: what its work left behind.
ProcessResult RunProcessMeasuringExit(const std::string& program,
                                      const std::vector<std::string>& arguments,
                                      const std::string& folder);

// stderr on a pseudo-terminal, so that the program draws its progress bar, and
// SIGINT once the bar shows a percentage; err holds everything drawn.
ProcessResult RunInterruptedAtFirstTick(const std::string& program,
                                        const std::vector<std::string>& arguments,
                                        const std::string& folder,
                                        const std::string& locale = kJapaneseLocale);

// An external program found on PATH; empty when missing, then fail with MissingTool.
std::string FindTool(const std::string& name);
inline std::string MissingTool(const std::string& name) {
  return name + " not found: run scripts/install-deps.sh";
}

// A full-size voice table, written once, in which every entry is skipped but
// voice 100, whose bins 2 and 4 win any voiced frame on its half-harmonic spectrum.
const std::string& LiveTablePath();

// The command-line program under test.
inline const char* KelditraPath() { return KELDITRA_CLI_PATH; }

}  // namespace kelditra
