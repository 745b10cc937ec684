#!/usr/bin/env bash
# Builds the benchmark, makes its inputs if they are not there yet (the
# synthetic FM table, the demo voice, a spoken sentence) and times the plain
# against the fast search on each sound, then whole conversions.
#   bench/run_bench.sh [BUILD_DIR] [search_bench options]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
shift || true

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build "$build" -j"$(nproc)" --target search_bench kelditra make_demo_sound

data="$build/bench-data"
mkdir -p "$data"
[[ -f "$data/fm_table2.dat" ]] || "$build/kelditra" table "$data/fm_table2.dat" >/dev/null
[[ -f "$data/demo.wav" ]] || "$build/tools/make_demo_sound" "$data/demo" 12
[[ -f "$data/speech.wav" ]] || bench/make_speech.sh "$data/speech" "$build/kelditra"

status=0
for sound in demo speech; do
  echo "== $sound"
  "$build/bench/search_bench" --table "$data/fm_table2.dat" "$@" "$data/$sound.wav" || status=1
  echo
done
exit $status
