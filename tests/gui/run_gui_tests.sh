#!/usr/bin/env bash
# The Windows program's tests. Builds Kelditra.exe and its test driver with
# mingw-w64, writes the inputs, has the Linux command line convert the same
# sound for comparison, then drives the real program under Wine on a virtual
# X display. The last line reads "N passed, M failed".
#
#   tests/gui/run_gui_tests.sh [WORD]   only the cases whose name holds WORD
set -euo pipefail
cd "$(dirname "$0")/../.."
source tests/gui/wine_session.sh

scripts/install-windows-deps.sh
source scripts/require_tools.sh
require_tools scripts/install-windows-deps.sh x86_64-w64-mingw32-g++-posix wine winepath Xvfb
started=$SECONDS

build_windows_program
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build -j2 --target kelditra

work=$PWD/build-win/gui-test
scratch=$work/scratch
rm -rf "$scratch"
mkdir -p "$scratch"
g++ -std=c++20 -O2 tools/make_icon.cpp -o "$work/make_icon"
"$work/make_icon" "$scratch/generated.ico"

wine_session_start "$work"
trap wine_session_end EXIT
scratch_windows=$(windows_path "$scratch")

wine "$GUI_DRIVER" --fixtures "$scratch_windows"
(cd "$scratch" && "$OLDPWD/build/kelditra" --quiet tone.wav && mv tone.bin tone.reference.bin)

echo "driving Kelditra.exe under Wine"
wine_started=$SECONDS
set +e
# Wine's own complaints (the file dialog probing drives) go to a log.
timeout 1200 wine "$GUI_DRIVER" "$(windows_path "$KELDITRA_EXE")" "$scratch_windows" "$@" \
  2>"$work/wine-stderr.log" | tr -d '\r' | tee "$work/results.txt" \
  | grep -v -E '^[0-9]+ passed, [0-9]+ failed$'
driver_status=${PIPESTATUS[0]}
set -e

passed=$(grep -c '^PASS' "$work/results.txt" || true)
failed=$(grep -c '^FAIL' "$work/results.txt" || true)
if [[ $driver_status -ne 0 && $failed -eq 0 ]]; then
  echo "the driver stopped with status $driver_status"
  failed=1
fi
echo "Wine tests: $((SECONDS - started)) s in all, $((SECONDS - wine_started)) s driving the program"
echo "$passed passed, $failed failed"
[[ $failed -eq 0 ]]
