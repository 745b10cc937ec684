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

step "native configure" cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
step "native build" cmake --build build -j"$(nproc)"
step "native tests" ctest --test-dir build --output-on-failure -j"$(nproc)"
# The native tests again under AddressSanitizer and UndefinedBehaviorSanitizer
# and the threaded ones under ThreadSanitizer, then each fuzz target for a
# short, bounded time.
step "sanitizers" scripts/sanitize.sh
step "fuzzing" scripts/fuzz.sh 15
step "Windows program under Wine" tests/gui/run_gui_tests.sh
step "Windows command line under Wine" tests/gui/run_cli_wine_tests.sh
echo "== every test passed in $SECONDS s"
