#!/usr/bin/env bash
# Builds everything and runs every test twice: a normal build with warnings as errors, then a
# build with AddressSanitizer and UndefinedBehaviorSanitizer, which fails on any report.
# TAVRIK_BUILD_PREFIX names the build directories (default "build": build-test, build-asan).
set -euo pipefail
cd "$(dirname "$0")/.."

# lintian and the validators for the package check; node_exporter, promtool and curl for the
# exporter's end-to-end tests, openssl (a test certificate) and htpasswd (bcrypt hashes, from
# apache2-utils) for its TLS and basic auth; a D-Bus daemon for the notification test's private bus.
bash scripts/deps.sh xvfb xauth lintian appstream desktop-file-utils prometheus-node-exporter prometheus curl \
  openssl apache2-utils dbus-daemon
prefix=${TAVRIK_BUILD_PREFIX:-build}
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
export CTEST_OUTPUT_ON_FAILURE=1
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
start=$SECONDS
phase() { echo; echo "== $* ($((SECONDS - start)) s so far)"; }

phase "Build and test (warnings are errors)"
cmake -S . -B "$prefix-test" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVRIK_WERROR=ON "${launcher[@]}" >/dev/null
cmake --build "$prefix-test" -j"$jobs"
ctest --test-dir "$prefix-test" -j"$jobs" --timeout 300

phase "Start the panel once headless"
bash scripts/smoke.sh "$prefix-test/bin/tavrik"

phase "Package: the desktop entry, the metainfo and the .deb under lintian"
bash scripts/package-check.sh "$prefix-release"

phase "Build and test with AddressSanitizer + UndefinedBehaviorSanitizer"
cmake -S . -B "$prefix-asan" -DCMAKE_BUILD_TYPE=Debug -DTAVRIK_SANITIZE=ON "${launcher[@]}" >/dev/null
# Only what runs: the test programs, the panel, the exporter and the simulated client its
# end-to-end test drives (benchmarks and the other tools were built above).
# (A test may run a program under another name, as tst_panel_2x runs tst_panel: only real targets.)
known=$(cmake --build "$prefix-asan" --target help | sed -n 's/^\.\.\. \(tst_[A-Za-z0-9_]*\).*/\1/p')
mapfile -t targets < <(ctest --test-dir "$prefix-asan" -N | sed -n 's/^ *Test *#[0-9]*: *\(tst_[A-Za-z0-9_]*\)$/\1/p' \
  | grep -Fxf <(printf '%s\n' "$known"))
cmake --build "$prefix-asan" -j"$jobs" --target tavrik tavrik-exporter tavrik-simclient "${targets[@]}"
# Any report ends the program with a non-zero code, which fails its test.
export ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:abort_on_error=0:check_initialization_order=1
export LSAN_OPTIONS="suppressions=$PWD/scripts/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir "$prefix-asan" -j"$jobs" --timeout 600
bash scripts/smoke.sh "$prefix-asan/bin/tavrik"

phase "All tests passed"
