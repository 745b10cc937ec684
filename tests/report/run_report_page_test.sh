#!/usr/bin/env bash
# Converts a short sung phrase, writes its match report, and clicks through the
# page in headless Chromium.  run_report_page_test.sh BUILD_DIR [SCREENSHOT.png]
set -euo pipefail
build=$(cd "$1" && pwd)
screenshot=${2:+$(realpath -m "$2")}
here=$(cd "$(dirname "$0")" && pwd)

modules="$build/report-page-test"
if [[ ! -d "$modules/node_modules/playwright-core" ]]; then
  mkdir -p "$modules"
  cp "$here/package.json" "$modules/"
  (cd "$modules" && npm install --no-audit --no-fund --silent)
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/tools/make_voice_table" "$work/fm_table2.dat"
"$build/tools/make_demo_sound" "$work/voice" 1.5
(cd "$work" && "$build/kelditra" --quiet voice.wav && "$build/kelditra" report --quiet voice.wav)
cp "$here/report_page_test.mjs" "$modules/"
node "$modules/report_page_test.mjs" "$work/voice.report.html" "$work/voice.bin" ${screenshot:+"$screenshot"}
