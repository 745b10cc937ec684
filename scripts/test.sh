#!/usr/bin/env bash
# Builds everything and runs every test. Installs what is missing first.
# Each step's time is printed as it ends, so that a slow one shows.
set -euo pipefail
cd "$(dirname "$0")/.."

step() {  # NAME COMMAND...
  local started=$SECONDS
  "${@:2}"
  echo "== $1: $((SECONDS - started)) s"
}

scripts/install-deps.sh

# The report page's script, as a linter reads it (eslint, pinned in
# tests/report/package-lock.json).
step "report script lint" tests/report/node_modules/.bin/eslint \
  --config tests/report/eslint.config.mjs --max-warnings 0 src/report/page
step "native configure" cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
step "native build" cmake --build build -j"$(nproc)"
step "native tests" ctest --test-dir build --output-on-failure -j"$(nproc)"
# The native tests again under AddressSanitizer and UndefinedBehaviorSanitizer
# and the threaded ones under ThreadSanitizer.
step "sanitizers" scripts/sanitize.sh

# Each fuzz target for a short, bounded time. Fuzzing runs for a set time
# whatever else the machine does, so it runs beside the Windows tests, which
# spend most of theirs waiting on Wine; its report follows theirs.
fuzz_log=build/fuzz.log
step "fuzzing" scripts/fuzz.sh 15 >"$fuzz_log" 2>&1 &
fuzzing=$!
step "Windows program under Wine" tests/gui/run_gui_tests.sh
step "Windows command line under Wine" tests/gui/run_cli_wine_tests.sh
fuzz_status=0
wait $fuzzing || fuzz_status=$?
cat "$fuzz_log"
((fuzz_status == 0))
echo "== every test passed in $SECONDS s"
