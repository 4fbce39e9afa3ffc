#!/usr/bin/env bash
# Builds the .deb in a Release tree (only what the package holds) and checks it: the desktop
# entry, the AppStream metainfo, and lintian, which must report no error and no warning.
# Usage: scripts/package-check.sh [BUILD_DIR]     (default: build-release)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-release}

if ! command -v lintian >/dev/null; then
  echo "package-check: lintian is not installed; package check skipped (scripts/deps.sh lintian)"
  exit 0
fi
desktop-file-validate packaging/tavrik.desktop
appstreamcli validate --no-net packaging/org.brakmere.Tavrik.metainfo.xml

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
# The install step must not build everything: only the programs, their media and documents.
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DTAVRIK_BUILD_TESTS=OFF -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON \
  "${launcher[@]}" >/dev/null
cmake --build "$build" -j2 --target tavrik tavrik-exporter tavrik_media tavrik_docs
rm -f "$build"/tavrik_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/tavrik_*.deb)
lintian --fail-on error,warning --tag-display-limit 0 "$deb"
echo "package-check: $deb passes lintian"
