#!/usr/bin/env bash
# The check a user would make of the history: three simulated clients finishing a unit every few
# seconds, the panel reading them every second for a minute, then the exported CSV against the
# clients' own result counts (equal, give or take one at the edges).
# Usage: scripts/history-e2e.sh [BIN_DIR]      (default: build/bin)
set -u
bin=$(realpath "${1:-build/bin}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir -p cfg/Brakmere data state run && chmod 700 run
{
  printf '[0]\nCPUName=A\n[1]\nCPUName=B\n[2]\nCPUName=C\n'
  printf '[AppSettings]\nMonitorInterval=0\nSoundsOn=False\nNotifications=False\nScroll=False\nSplashTime=0\nTotalCPUs=3\n'
  for c in A B C; do printf '[%s]\nCPUPath=%s/%s/\n' $c "$work" $c; done
} > cfg/Brakmere/Tavrik.conf
export XDG_CONFIG_HOME=$work/cfg XDG_DATA_HOME=$work/data XDG_STATE_HOME=$work/state XDG_RUNTIME_DIR=$work/run
export QT_QPA_PLATFORM=offscreen
results() { sed -n 's/^nresults=//p' "$1/User_Info.txt"; }
clients=()
for c in A B C; do
  "$bin/tavrik-simclient" --speed 25 --interval 500 --seed $RANDOM $c >/dev/null & clients+=($!)
done
sleep 1
"$bin/tavrik" >/dev/null 2>&1 & panel=$!
sleep 2
declare -A start
for c in A B C; do start[$c]=$(results $c); done
sleep 60
kill "${clients[@]}"; wait "${clients[@]}" 2>/dev/null
sleep 3 # the panel's last readings
kill -TERM $panel; wait $panel
"$bin/tavrik" --export-history units.csv || exit 1
status=0
for c in A B C; do
  finished=$(( $(results $c) - ${start[$c]} ))
  rows=$(grep -c "^$c," units.csv)
  echo "$c: the client finished $finished units while watched; the CSV has $rows"
  [ $(( rows - finished )) -le 1 ] && [ $(( finished - rows )) -le 1 ] || status=1
done
exit $status
