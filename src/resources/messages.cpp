#include "resources/messages.h"

#include <array>

namespace kelditra {

namespace {

// In the order of MessageId. Bytes >= 0x80 (and the 0x5C trail byte of 能) are
// escaped; a literal is split where an escape would swallow a following letter.
constexpr const char* kShiftJisTexts[kMessageCount] = {
    // 時間の計測ができません（高分解能パフォーマンスカウンタがサポートされていません）
    "\x8e\x9e\x8a\xd4\x82\xcc\x8cv\x91\xaa\x82\xaa\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1\x81i\x8d\x82\x95\xaa\x89\xf0\x94\x5c\x83p\x83t\x83H\x81[\x83}\x83\x93\x83X\x83J\x83" "E\x83\x93\x83^\x82\xaa\x83T\x83|\x81[\x83g\x82\xb3\x82\xea\x82\xc4\x82\xa2\x82\xdc\x82\xb9\x82\xf1\x81j",
    // WAVEファイルを指定して下さい
    "WAVE\x83t\x83@\x83" "C\x83\x8b\x82\xf0\x8ew\x92\xe8\x82\xb5\x82\xc4\x89\xba\x82\xb3\x82\xa2",
    // ファイルが見つかりません : file not found
    "\x83t\x83@\x83" "C\x83\x8b\x82\xaa\x8c\xa9\x82\xc2\x82\xa9\x82\xe8\x82\xdc\x82\xb9\x82\xf1 : file not found",
    // ファイルをオープンできません
    "\x83t\x83@\x83" "C\x83\x8b\x82\xf0\x83I\x81[\x83v\x83\x93\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1",
    // メモリを確保できませんでした
    "\x83\x81\x83\x82\x83\x8a\x82\xf0\x8am\x95\xdb\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1\x82\xc5\x82\xb5\x82\xbd",
    // 読込エラー
    "\x93\xc7\x8d\x9e\x83G\x83\x89\x81[",
    // このファイルは扱えません
    "\x82\xb1\x82\xcc\x83t\x83@\x83" "C\x83\x8b\x82\xcd\x88\xb5\x82\xa6\x82\xdc\x82\xb9\x82\xf1",
    // データ長が正しくありません
    "\x83" "f\x81[\x83^\x92\xb7\x82\xaa\x90\xb3\x82\xb5\x82\xad\x82\xa0\x82\xe8\x82\xdc\x82\xb9\x82\xf1",
    // 44100Hzではありません
    "44100Hz\x82\xc5\x82\xcd\x82\xa0\x82\xe8\x82\xdc\x82\xb9\x82\xf1",
    // モノラル 16bitではありません
    "\x83\x82\x83m\x83\x89\x83\x8b 16bit\x82\xc5\x82\xcd\x82\xa0\x82\xe8\x82\xdc\x82\xb9\x82\xf1",
    // 中止しました
    "\x92\x86\x8e~\x82\xb5\x82\xdc\x82\xb5\x82\xbd",
    // ファイルの書込に失敗しました
    "\x83t\x83@\x83" "C\x83\x8b\x82\xcc\x8f\x91\x8d\x9e\x82\xc9\x8e\xb8\x94s\x82\xb5\x82\xdc\x82\xb5\x82\xbd",
    // 終了しました
    "\x8fI\x97\xb9\x82\xb5\x82\xdc\x82\xb5\x82\xbd",
    // 音色テーブルのサイズが正しくありません
    "\x89\xb9\x90" "F\x83" "e\x81[\x83u\x83\x8b\x82\xcc\x83T\x83" "C\x83Y\x82\xaa\x90\xb3\x82\xb5\x82\xad\x82\xa0\x82\xe8\x82\xdc\x82\xb9\x82\xf1",
    // WAVEファイルが長すぎます
    "WAVE\x83t\x83@\x83" "C\x83\x8b\x82\xaa\x92\xb7\x82\xb7\x82\xac\x82\xdc\x82\xb7",
    // 進行率 
    "\x90i\x8ds\x97\xa6 ",
};

// The same messages for a reader of English, in the order of MessageId. The
// command line shows them outside a Japanese locale; the Windows program never
// does.
constexpr const char* kEnglishTexts[kMessageCount] = {
    "cannot measure time (no high-resolution performance counter)",
    "give a WAVE file (a name ending in .wav)",
    ": file not found",
    "cannot open the file",
    "cannot allocate memory",
    "read error",
    "cannot handle this file",
    "the data length is wrong",
    "not 44100 Hz",
    "not mono 16-bit",
    "cancelled",
    "writing the file failed",
    "finished",
    "the voice table's size is wrong",
    "the WAVE file is too long",
    "progress ",
};

}  // namespace

const char* EnglishText(MessageId id) { return kEnglishTexts[static_cast<int>(id)]; }

const char* ShiftJisText(MessageId id) {
  return kShiftJisTexts[static_cast<int>(id)];
}

const std::string& MessageText(MessageId id) {
  static const std::array<std::string, kMessageCount> utf8_texts = [] {
    std::array<std::string, kMessageCount> texts;
    for (int i = 0; i < kMessageCount; ++i) texts[i] = ShiftJisToUtf8(kShiftJisTexts[i]);
    return texts;
  }();
  return utf8_texts[static_cast<int>(id)];
}

}  // namespace kelditra
