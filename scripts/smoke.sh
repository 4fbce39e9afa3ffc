#!/usr/bin/env bash
# Starts the given tavrik binary headless with throw-away settings, lets it run a few seconds,
# asks it to end with SIGTERM and checks that it ended cleanly and saved its settings.
set -euo pipefail
bin=${1:?usage: smoke.sh path/to/tavrik}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export XDG_CONFIG_HOME=$tmp/config XDG_RUNTIME_DIR=$tmp/run XDG_STATE_HOME=$tmp/state XDG_DATA_HOME=$tmp/data QT_QPA_PLATFORM=offscreen
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
"$bin" >"$tmp/out.log" 2>&1 & pid=$!

fail() { echo "smoke: $*" >&2; cat "$tmp/out.log" >&2; exit 1; }

# Running means: the single-instance lock is taken; then give the first update cycle time to run.
for _ in $(seq 1 100); do
  [ -e "$XDG_RUNTIME_DIR/tavrik.lock" ] && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.2
done
[ -e "$XDG_RUNTIME_DIR/tavrik.lock" ] || { kill -KILL "$pid" 2>/dev/null || true; fail "tavrik did not start"; }
sleep 3

# A second copy must end at once, without touching anything but bringing the first forward.
second=0; timeout 20 "$bin" >>"$tmp/out.log" 2>&1 || second=$?
[ "$second" -eq 0 ] || fail "a second copy ended with $second"
grep -q 'brought its window to the front' "$tmp/out.log" || fail "the second copy did not reach the first"

kill -TERM "$pid" 2>/dev/null || fail "tavrik ended before it was asked to"
rc=0; wait "$pid" || rc=$?
[ "$rc" -eq 0 ] || fail "tavrik ended with $rc"
conf=$XDG_CONFIG_HOME/Brakmere/Tavrik.conf
grep -q '^TotalCPUs=1' "$conf" 2>/dev/null || { cat "$conf" >&2 2>/dev/null || true; fail "settings not saved"; }
[ ! -e "$XDG_RUNTIME_DIR/tavrik.lock" ] || fail "the lock file was left behind"
[ -s "$XDG_STATE_HOME/Brakmere/Tavrik/session.log" ] || fail "no session log written"
echo "smoke: started, refused a second copy (and showed itself), ended on SIGTERM, settings and session log saved"
