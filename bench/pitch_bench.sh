#!/usr/bin/env bash
# How closely kelditra pitch follows real voices: every WAV file of a folder
# (44100 Hz, 16-bit, mono) tracked by kelditra pitch, by Praat and, where
# SPTK is installed, by its RAPT and SWIPE', and scored against Praat.
# Figures, no verdict; it installs praat and sptk if they are missing.
#   bench/pitch_bench.sh [FOLDER] [BUILD_DIR]
# Without a folder it makes the development recordings: the spoken letters
# and syllables of Debian's klettres-data in ten languages, 20 of each.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${2:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build "$build" -j"$(nproc)" --target kelditra > /dev/null
kelditra=$PWD/$build/kelditra
work=$PWD/$build/pitch-bench

missing=()
for tool in praat sox sptk; do command -v "$tool" > /dev/null || missing+=("$tool"); done
if ((${#missing[@]} > 0)); then
  sudo_cmd=(); [[ $(id -u) -ne 0 ]] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" > /dev/null
fi

folder=${1:-}
if [[ -z $folder ]]; then
  folder=$work/recordings
  if [[ ! -d $folder ]]; then
    mkdir -p "$work/package" "$folder"
    (cd "$work/package" && apt-get download klettres-data > /dev/null && dpkg -x klettres-data_*.deb x)
    python3 - "$work/package/x/usr/share/klettres" "$folder" <<'PY'
import os, random, subprocess, sys
root, out = sys.argv[1:3]
pick = random.Random(1)
for language in ['cs', 'da', 'de', 'en', 'en_GB', 'es', 'fr', 'it', 'nl', 'pt_BR']:
    files = sorted(os.path.join(d, f) for d, _, fs in os.walk(os.path.join(root, language))
                   for f in fs if f.endswith('.ogg'))
    for i, f in enumerate(pick.sample(files, min(20, len(files)))):
        subprocess.run(['sox', '-V1', f, '-r', '44100', '-c', '1', '-b', '16',
                        f"{out}/{language}_{i:02d}_{os.path.basename(f)[:-4]}.wav"], check=True)
PY
  fi
fi
folder=$(cd "$folder" && pwd)

rm -rf "$work/tracks"
mkdir -p "$work/tracks/praat" "$work/tracks/kelditra" "$work/tracks/rapt" "$work/tracks/swipe"
seconds=$(for f in "$folder"/*.wav; do soxi -D "$f"; done | paste -sd+ | bc)
timed() {  # NAME COMMAND...: runs it, prints its speed against the sound's length
  local start=$EPOCHREALTIME
  "${@:2}"
  printf '%9s: %.0f times real time (%s s of sound)\n' "$1" \
    "$(echo "$seconds / ($EPOCHREALTIME - $start)" | bc -l)" "$seconds"
}

ln -sf "$folder"/*.wav "$work/tracks/kelditra/"
timed kelditra "$kelditra" pitch --force "$work/tracks/kelditra/"*.wav > /dev/null
praat_all() {
  for f in "$folder"/*.wav; do
    praat --run bench/praat_pitch.praat "$f" "$work/tracks/praat/$(basename "$f" .wav).txt"
  done
}
timed praat praat_all
# SPTK reads samples at 16-bit scale, and centres its frames on multiples of
# the shift: trimmed by half a frame, they fall on kelditra's frame centres.
sptk_all() {  # ALGORITHM FOLDER
  for f in "$folder"/*.wav; do
    sox "$f" -t raw -e signed -b 16 - trim 367s | sptk x2x +sf |
      sptk pitch -a "$1" -s 44.1 -p 735 -L 75 -H 600 -o 1 |
      python3 -c 'import struct,sys; d=sys.stdin.buffer.read(); print("\n".join(f"{v:.2f}" for v in struct.unpack(f"{len(d)//4}f", d)))' \
        > "$2/$(basename "$f" .wav).txt"
  done
}
timed rapt sptk_all 0 "$work/tracks/rapt"
timed swipe sptk_all 1 "$work/tracks/swipe"

echo "against Praat:"
bench/compare_pitch.py "$work/tracks/praat" kelditra="$work/tracks/kelditra" \
  rapt="$work/tracks/rapt" swipe="$work/tracks/swipe"
