#!/usr/bin/env bash
# The Windows command line, kelditra.exe, under Wine: conversions of names
# that no one code page holds, each giving the Linux program's records byte
# for byte to its own file, and failures with their detail lines, each in
# English and in Japanese, written as UTF-8 that any terminal reads; recordings
# in other forms prepared by Media Foundation and then converted; pitch tracks
# the same as Linux's. The last line reads "N passed, M failed".
set -euo pipefail
cd "$(dirname "$0")/../.."
source tests/gui/wine_session.sh

scripts/install-windows-deps.sh
cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build-win -j2 --target kelditra
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j2 --target kelditra
native=$PWD/build/kelditra
windows=$PWD/build-win/kelditra.exe

scratch=$PWD/build-win/cli-test
rm -rf "$scratch"
mkdir -p "$scratch"
cd "$scratch"
"$native" table >/dev/null
sox -n -r 44100 -b 16 -c 1 tone.wav synth 0.5 sine 220 vol 0.5
sox -n -r 22050 -b 16 -c 1 rate.wav synth 0.5 sine 220 vol 0.5
sox -n -r 44100 -b 16 -c 1 rec.wav synth 0.3 sine 330 vol 0.5
"$native" pitch tone.wav rec.wav >/dev/null
cp tone.dat rate.dat
"$native" --quiet tone.wav >/dev/null
mv tone.bin tone.linux-records
# Czech, Japanese and an emoji outside the Basic Multilingual Plane. Through
# a code page "řeč" comes out as "rec" (a look-alike), or as "???": each
# would name rec.wav, a different recording, or no file at all.
names=("řeč" "録音" "voice 🎤")
for name in "${names[@]}"; do
  cp tone.wav "$name.wav"
  cp tone.dat "$name.dat"
done
cp tone.wav "ひと つ.wav"  # no pitch track
rec_sum=$(md5sum rec.wav rec.dat)
# Speech for the pitch tracker, which must hear it alike on both systems.
espeak-ng -v en -w male.raw.wav "The quick brown fox jumps over the lazy dog."
espeak-ng -v en+f3 -p 70 -w female.raw.wav "Seven silver swans swam silently seaward."
espeak-ng -v de+m3 -p 10 -w low.raw.wav "Zwölf Boxkämpfer jagen Viktor quer über den großen Sylter Deich."
for voice in male female low; do
  sox "$voice.raw.wav" -r 44100 -b 16 -c 1 "$voice.wav"
  "$native" pitch "$voice.wav" >/dev/null
  mv "$voice.dat" "$voice.linux.dat"
done
espeak-ng -w speech.wav "a recording from a phone"
sox speech.wav -r 48000 -c 2 stereo48k.wav
sox speech.wav -r 48000 -b 24 deep.wav
sox speech.wav -r 48000 phone.mp3
sox speech.wav -r 48000 whole.ogg
head -c "$(($(stat -c %s whole.ogg) * 2 / 3))" whole.ogg >cut.ogg

# The prefix the dialog program's tests use, made once.
mkdir -p "$OLDPWD/build-win/gui-test"
wine_session_start "$OLDPWD/build-win/gui-test"
trap wine_session_end EXIT

passed=0
failed=0
check() {  # NAME WHAT-IT-IS WHAT-IT-SHOULD-BE
  if [[ $2 == "$3" ]]; then
    echo "PASS $1"
    passed=$((passed + 1))
  else
    printf 'FAIL %s\n  got:  %s\n  want: %s\n' "$1" "$2" "$3"
    failed=$((failed + 1))
  fi
}

# run LOCALE ARGS...: kelditra.exe with stdout and stderr in files, CR dropped.
run() {
  local locale=$1
  shift
  set +e
  LANG=$locale LC_ALL=$locale wine "$windows" --quiet "$@" >out.raw 2>err.raw
  status=$?
  set -e
  out=$(tr -d '\r' <out.raw)
  err=$(tr -d '\r' <err.raw | grep '^kelditra' || true)
}

for locale in C.UTF-8 ja_JP.UTF-8; do
  if [[ $locale == C.UTF-8 ]]; then
    finished="finished" refused="not 44100 Hz"
    detail="kelditra: rate.wav is PCM (format tag 1), 1 channel(s), 16 bits, 22050 Hz; kelditra reads PCM, 44100 Hz, 16 bits, mono; prepare it with: kelditra prepare rate.wav (or: sox rate.wav -r 44100 -c 1 -b 16 rate-44100.wav)"
    no_track="ひと つ.wav: ひと つ.dat: file not found"
    no_track_detail='kelditra: no pitch track ひと つ.dat for ひと つ.wav; make one with: kelditra pitch "ひと つ.wav"'
  else
    finished="終了しました" refused="44100Hzではありません"
    detail="kelditra: rate.wav は PCM（形式タグ 1）、1 チャンネル、16 ビット、22050 Hz です。kelditra が読めるのは PCM・44100 Hz・16 ビット・モノラルです。変換できる形にするには：kelditra prepare rate.wav（または：sox rate.wav -r 44100 -c 1 -b 16 rate-44100.wav）"
    no_track="ひと つ.wav: ひと つ.datファイルが見つかりません : file not found"
    no_track_detail='kelditra: ひと つ.wav のピッチトラック ひと つ.dat がありません。作るには：kelditra pitch "ひと つ.wav"'
  fi
  rm -f ./*.bin
  run "$locale" "${names[@]/%/.wav}"
  check "$locale conversion lines" "$out" "$(printf "%s.wav: $finished\n" "${names[@]}")"
  check "$locale conversion status" "$status" 0
  for name in "${names[@]}"; do
    check "$locale $name.bin as on Linux" "$(cmp "$name.bin" tone.linux-records 2>&1 && echo same)" same
  done
  check "$locale rec.wav left alone" "$(md5sum rec.wav rec.dat; ls rec.bin 2>/dev/null || true)" \
    "$rec_sum"
  run "$locale" "ひと つ.wav"
  check "$locale missing track line" "$out" "$no_track"
  check "$locale missing track detail" "$err" "$no_track_detail"
  run "$locale" --json "ひと つ.wav"
  check "$locale JSON Lines" "$(python3 -c 'import json, sys
o = json.loads(sys.stdin.read())
print(o["path"], o["outcome"], "kelditra: " + o["detail"])' <<<"$out")" "ひと つ.wav failed $no_track_detail"
  check "$locale JSON leaves stderr alone" "$err" ""
  run "$locale" rate.wav
  check "$locale failure line" "$out" "rate.wav: $refused"
  check "$locale failure detail" "$err" "$detail"
  check "$locale failure status" "$status" 1
done

for voice in male female low; do
  rm -f "$voice.dat"
  wine "$windows" pitch "$voice.wav" >/dev/null 2>&1 || true
  check "pitch track of the $voice voice as on Linux" \
    "$(cmp "$voice.dat" "$voice.linux.dat" 2>&1 && echo same)" same
done

# Two commands from a recording to its records: prepare, then convert.
for recording in stereo48k.wav deep.wav phone.mp3; do
  stem=${recording%.*}
  [[ $recording == *.wav ]] && stem=$stem-44100
  set +e
  LANG=C.UTF-8 LC_ALL=C.UTF-8 wine "$windows" prepare "$recording" >out.raw 2>err.raw
  status=$?
  set -e
  out=$(tr -d '\r' <out.raw)
  check "prepare $recording" "${out%%.dat:*}" "$recording: wrote $stem.wav and $stem"
  check "prepare $recording status" "$status" 0
  # Within 50 ms of the speech: an MP3 encoder pads either end.
  check "prepare $recording length" "$(soxi -D "$stem.wav" speech.wav | paste -sd' ' |
    awk '{ d = $1 - $2; print (d < 0.05 && d > -0.05) ? "close" : $1 " s against " $2 " s" }')" close
  run C.UTF-8 "$stem.wav"
  check "convert $stem.wav" "$out" "$stem.wav: finished"
done
set +e
LANG=C.UTF-8 LC_ALL=C.UTF-8 wine "$windows" prepare cut.ogg >out.raw 2>err.raw
status=$?
set -e
check "prepare of a cut recording" "$(tr -d '\r' <out.raw)" "cut.ogg: the recording is damaged"
check "prepare of a cut recording writes nothing" "$status $(ls cut.wav cut.dat 2>/dev/null)" "1 "

echo "$passed passed, $failed failed"
[[ $failed -eq 0 ]]
