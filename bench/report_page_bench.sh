#!/usr/bin/env bash
# The report page of a one-minute sound (or SECONDS long): its size, and how long headless
# Chromium takes to open it.   bench/report_page_bench.sh [BUILD_DIR] [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
seconds=${2:-60}

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build "$build" -j"$(nproc)" --target kelditra make_demo_sound

data="$build/bench-data"
mkdir -p "$data"
[[ -f "$data/fm_table2.dat" ]] || "$build/kelditra" table "$data/fm_table2.dat" >/dev/null
[[ -f "$data/report$seconds.wav" ]] || "$build/tools/make_demo_sound" "$data/report$seconds" "$seconds"
(cd "$data" && "../kelditra" report --quiet --table fm_table2.dat report$seconds.wav)
echo "page: $(stat -c %s "$data/report$seconds.report.html") bytes"
node bench/report_page_bench.mjs "$data/report$seconds.report.html" 5
