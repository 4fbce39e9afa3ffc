#!/usr/bin/env bash
# Starts the given tavrik binary headless with throw-away settings, lets it run a few seconds,
# asks it to end with SIGTERM and checks that it ended cleanly and saved its settings.
set -euo pipefail
bin=${1:?usage: smoke.sh path/to/tavrik}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export XDG_CONFIG_HOME=$tmp/config XDG_RUNTIME_DIR=$tmp/run QT_QPA_PLATFORM=offscreen
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
"$bin" & pid=$!
sleep 4
kill -TERM "$pid"
rc=0; wait "$pid" || rc=$?
[ "$rc" -eq 0 ] || { echo "tavrik ended with $rc" >&2; exit 1; }
grep -q '^TotalCPUs=1' "$XDG_CONFIG_HOME/Brakmere/Tavrik.conf" || { echo "settings not saved" >&2; cat "$XDG_CONFIG_HOME/Brakmere/Tavrik.conf" >&2; exit 1; }
echo "smoke: started, ended on SIGTERM, settings saved"
