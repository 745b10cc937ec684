#!/usr/bin/env bash
# Builds everything and runs every test. Installs what is missing first.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$(nproc)"
ctest --test-dir build --output-on-failure -j"$(nproc)"
# The native tests again under AddressSanitizer and UndefinedBehaviorSanitizer,
# then each fuzz target for a short, bounded time.
scripts/sanitize.sh
scripts/fuzz.sh 15
tests/gui/run_gui_tests.sh
tests/gui/run_cli_wine_tests.sh
