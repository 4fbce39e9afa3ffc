#!/usr/bin/env bash
# Builds the panel and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVRIK_BUILD_TESTS=OFF >/dev/null
cmake --build build --target tavrik -j"$(nproc)"
exec build/bin/tavrik "$@"
