#!/usr/bin/env bash
# Builds everything and runs every test twice: a normal build with warnings as errors, then a
# build with AddressSanitizer and UndefinedBehaviorSanitizer, which fails on any report.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh xvfb xauth
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
export CTEST_OUTPUT_ON_FAILURE=1

echo "== Build and test (warnings are errors)"
cmake -S . -B build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVRIK_WERROR=ON >/dev/null
cmake --build build-test -j"$jobs"
ctest --test-dir build-test -j"$jobs" --timeout 300

echo "== Start the panel once headless"
scripts/smoke.sh build-test/bin/tavrik

echo "== Build and test with AddressSanitizer + UndefinedBehaviorSanitizer"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DTAVRIK_SANITIZE=ON >/dev/null
cmake --build build-asan -j"$jobs"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:halt_on_error=1
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir build-asan -j"$jobs" --timeout 600
