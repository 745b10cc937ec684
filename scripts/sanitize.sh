#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer and
# runs every native test that way, the command-line program included; then
# builds the search with ThreadSanitizer, in a build of its own, and runs the
# tests labelled threads (the worker crew, the shared spectra, the fast search
# on several threads). Any finding stops the process that made it, so the test
# around it fails.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/require_tools.sh
require_tools scripts/install-deps.sh clang++

build=${KELDITRA_SANITIZE_BUILD:-build-asan}
jobs=${KELDITRA_JOBS:-$(nproc)}

# The same build serves scripts/fuzz.sh: its targets need the fuzzer's coverage
# instrumentation, which costs these tests little and saves a whole build.
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DKELDITRA_SANITIZE=ON -DKELDITRA_FUZZ=ON
cmake --build "$build" -j"$jobs"

export ASAN_OPTIONS=abort_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:strict_string_checks=1:check_initialization_order=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# Tests labelled skip_under_sanitizer run only in the plain build.
ctest --test-dir "$build" --output-on-failure -j"$jobs" -LE skip_under_sanitizer

tsan_build=${KELDITRA_TSAN_BUILD:-build-tsan}
cmake -S . -B "$tsan_build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
  -DKELDITRA_TSAN=ON
cmake --build "$tsan_build" -j"$jobs" --target kelditra_fast_search_tests
export TSAN_OPTIONS=halt_on_error=1:abort_on_error=1:second_deadlock_stack=1
ctest --test-dir "$tsan_build" --output-on-failure -j"$jobs" -L threads
