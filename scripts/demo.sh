#!/usr/bin/env bash
# Builds kelditra, makes the demo voice table and singing voice if they are not
# there yet, converts the voice, and shows what came out.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh build
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build build -j"$(nproc)" --target kelditra make_demo_sound

mkdir -p demo
if [[ ! -f demo/fm_table2.dat ]]; then
  echo "making the synthetic FM voice table demo/fm_table2.dat (64 MiB)"
  (cd demo && ../build/kelditra table)
fi
if [[ ! -f demo/voice.wav || ! -f demo/voice.dat ]]; then
  echo "making the demo singing voice demo/voice.wav and its pitch track demo/voice.dat"
  build/tools/make_demo_sound demo/voice
fi

cd demo
start=$(date +%s.%N)
../build/kelditra voice.wav
end=$(date +%s.%N)

frames=$(($(stat -c %s voice.bin) / 16))
awk -v frames="$frames" -v start="$start" -v end="$end" 'BEGIN {
  printf "%d frames (%.2f s of sound) converted in %.2f s, table load and preparation included\n",
         frames, frames / 60, end - start }'

echo "a few records of demo/voice.bin (one every half second):"
od -An -t d4 -w16 -v voice.bin | awk '
  BEGIN { printf "  %6s %8s %10s %6s\n", "frame", "voice", "frequency", "gain" }
  (NR - 1) % 30 == 0 { printf "  %6d %8d %8d Hz %6d\n", NR - 1, $1 * 16 + $4, $2, $3 }'
