#!/usr/bin/env bash
# Builds the panel and starts it. Without a display it runs on a virtual X screen (xvfb-run).
set -euo pipefail
cd "$(dirname "$0")/.."

headless=0
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  headless=1
fi

if [ "$headless" -eq 1 ]; then bash scripts/deps.sh xvfb xauth; else bash scripts/deps.sh; fi
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVRIK_BUILD_TESTS=OFF >/dev/null
cmake --build build --target tavrik -j"$(nproc)"

if [ "$headless" -eq 1 ]; then
  echo "No display found: starting Tavrik on a virtual X screen; stop it with Ctrl+C."
  exec xvfb-run -a -s "-screen 0 1280x1024x24" build/bin/tavrik "$@"
fi
exec build/bin/tavrik "$@"
