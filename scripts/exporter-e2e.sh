#!/usr/bin/env bash
# End to end: tavrik-exporter over three simulated clients, collected by node_exporter's textfile
# collector on a free loopback port, checked through /metrics and by promtool.
# Usage: scripts/exporter-e2e.sh BIN_DIR   (exits 77, skipped, without node_exporter or promtool)
set -euo pipefail
bin=$(cd "${1:?usage: exporter-e2e.sh BIN_DIR}" && pwd)
node_exporter=$(command -v prometheus-node-exporter || command -v node_exporter || true)
if [ -z "$node_exporter" ] || ! command -v promtool >/dev/null || ! command -v curl >/dev/null; then
  echo "SKIP: needs prometheus-node-exporter, promtool (package prometheus) and curl" >&2
  exit 77
fi

work=$(mktemp -d)
pid=
cleanup() {
  local rc=$?
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null || true; fi
  rm -rf "$work"
  exit $rc
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

mkdir -p "$work/textfile"
sim="$bin/tavrik-simclient"
exporter=(timeout 30 "$bin/tavrik-exporter" --settings "$work/Tavrik.conf" --textfile "$work/textfile/tavrik.prom")
"$sim" "$work/w" --once --prog 0.30 --cpu 100
"$sim" "$work/s" --once --prog 0.50 --cpu 200
"$sim" "$work/d" --once --prog 1 --cpu 300 --wtemp 1000
# An alarm interval of 0 minutes: the download is late on the watch's second reading.
cat >"$work/Tavrik.conf" <<INI
[AppSettings]
CPUs="lab working,lab stalled,lab late,"
AlarmInterval=0
[lab%20working]
CPUPath=$work/w/
[lab%20stalled]
CPUPath=$work/s/
[lab%20late]
CPUPath=$work/d/
INI

"$bin/tavrik-exporter" --version | grep -q '^tavrik-exporter [0-9]' || fail "--version"
# Three runs from cron, each a first reading of its process: the readings carry over in between.
"${exporter[@]}" --once
"$sim" "$work/w" --once --prog 0.40 --cpu 200
sleep 1.2
"${exporter[@]}" --once
"$sim" "$work/w" --once --prog 0.50 --cpu 300
sleep 1.2
"${exporter[@]}" --once
promtool check metrics <"$work/textfile/tavrik.prom" || fail "promtool check metrics"

# A free port: try a few at random until node_exporter binds one.
for attempt in 1 2 3 4 5 6 7 8; do
  port=$((20000 + RANDOM % 40000))
  "$node_exporter" --web.listen-address="127.0.0.1:$port" --collector.disable-defaults --collector.textfile \
    --collector.textfile.directory="$work/textfile" >"$work/node.log" 2>&1 &
  pid=$!
  for _ in $(seq 50); do
    curl -fsS -m 2 "http://127.0.0.1:$port/metrics" -o "$work/metrics" 2>/dev/null && break 2
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true
  pid=
done
[ -n "$pid" ] || { cat "$work/node.log" >&2; fail "node_exporter did not start"; }

grep -q '^node_textfile_scrape_error 0' "$work/metrics" || fail "node_exporter could not read the file"
for want in 'lab working",state="working' 'lab stalled",state="stalled' 'lab late",state="download_late'; do
  grep -q "^tavrik_cpu_state{cpu=\"$want\"} 1\$" "$work/metrics" || { grep tavrik_cpu_state "$work/metrics" >&2; fail "$want"; }
done
echo "node_exporter on 127.0.0.1:$port serves the three states"

# Without --once it runs until asked to end, and ends cleanly on SIGTERM.
rm "$work/textfile/tavrik.prom"
"${exporter[@]}" --interval 1 &
running=$!
for _ in $(seq 50); do [ -f "$work/textfile/tavrik.prom" ] && break; sleep 0.1; done
[ -f "$work/textfile/tavrik.prom" ] || fail "no file from the running exporter"
kill -TERM "$running"
wait "$running" || fail "exporter ended with $? on SIGTERM"
echo "PASS"
