#!/usr/bin/env bash
# Converts a short sung phrase, changes a few records of its .bin, writes its
# match report and plays, seeks and clicks through the page in headless
# Chromium.  run_report_page_test.sh BUILD_DIR [SCREENSHOT.png]
set -euo pipefail
build=$(cd "$1" && pwd)
screenshot=${2:+$(realpath -m "$2")}
here=$(cd "$(dirname "$0")" && pwd)

if [[ ! -d "$here/node_modules/playwright-core" ]]; then
  echo "playwright-core is missing from tests/report/node_modules: run scripts/install-deps.sh" >&2
  exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/kelditra" table "$work/fm_table2.dat" >/dev/null
"$build/tools/make_demo_sound" "$work/voice" 2
changed=20,45,70
(cd "$work" && "$build/kelditra" --quiet voice.wav)
cp "$work/voice.bin" "$work/converted.bin"
# Another gain in a few records, as if the .bin had been edited.
perl -e 'open my $f, "+<", shift or die; binmode $f;
         for (@ARGV) { seek $f, 16 * $_ + 8, 0; print $f pack("l<", 1234) }' \
  "$work/voice.bin" ${changed//,/ }
summary=$(cd "$work" && "$build/kelditra" report --quiet voice.wav)
echo "$summary"
[[ $summary == *"3 records of the .bin differ"* ]]
node "$here/report_page_test.mjs" "$work/voice.report.html" "$work/converted.bin" "$changed" \
  ${screenshot:+"$screenshot"}
