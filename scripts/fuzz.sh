#!/usr/bin/env bash
# Fuzzes the client files and the exporter's state file with libFuzzer in a clang build of its
# own (build-fuzz), with AddressSanitizer and UndefinedBehaviorSanitizer; any report stops it.
# Usage: scripts/fuzz.sh [runs of the client target (default 1000000)] [runs of the state target (default 10000)]
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh clang libclang-rt-14-dev
runs=${1:-1000000}
state_runs=${2:-10000}
dir=${TAVRIK_BUILD_PREFIX:-build}-fuzz
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DTAVRIK_SANITIZE=ON -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link "${launcher[@]}" >/dev/null
cmake --build "$dir" -j"$(nproc)" --target fuzz_client fuzz_state
export ASAN_OPTIONS=detect_leaks=0:halt_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
mkdir -p "$corpus/client" "$corpus/state"
# A few real shapes to start from.
printf '\0\0\0\0\0\0\0\0\x3c\0prog=0.25\ncpu=120\n\0nwus=3\nnresults=2\ntotal_cpu=500\n\0prog=0.5\ncpu=240\n' >"$corpus/client/seed"
printf '{"version":1,"cpus":[{"name":"a","path":"/a/","percent":50,"cpuSeconds":3,"lastSuccess":1e9}],"account":{"received":3}}' >"$corpus/state/seed"
goal() { # runs, log
  local done
  done=$(sed -n 's/^Done \([0-9]*\) runs.*/\1/p' "$2" | tail -1)
  printf '%-12s goal >= %s runs: %s runs, %s\n' "$3" "$1" "${done:-0}" "$([ "${done:-0}" -ge "$1" ] && echo met || echo 'NOT MET')"
}
"$dir/bin/fuzz_client" -runs="$runs" -max_len=4096 "$corpus/client" 2>"$corpus/client.log" || { tail -40 "$corpus/client.log"; exit 1; }
"$dir/bin/fuzz_state" -runs="$state_runs" -max_len=4096 "$corpus/state" 2>"$corpus/state.log" || { tail -40 "$corpus/state.log"; exit 1; }
goal "$runs" "$corpus/client.log" client
goal "$state_runs" "$corpus/state.log" state
