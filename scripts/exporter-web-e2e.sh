#!/usr/bin/env bash
# End to end: tavrik-exporter serving three simulated clients over HTTP on a loopback port,
# checked with curl and promtool; then with TLS and basic auth; then the refusal to listen off the
# loopback address without them.
# Usage: scripts/exporter-web-e2e.sh BIN_DIR   (exits 77, skipped, without curl, promtool, openssl or htpasswd)
set -euo pipefail
bin=$(cd "${1:?usage: exporter-web-e2e.sh BIN_DIR}" && pwd)
for tool in curl promtool openssl htpasswd; do
  command -v $tool >/dev/null || { echo "SKIP: needs curl, promtool, openssl and htpasswd (apache2-utils)" >&2; exit 77; }
done

work=$(mktemp -d)
pid=
simpid=
cleanup() {
  local rc=$?
  if [ -n "$simpid" ]; then kill "$simpid" 2>/dev/null; wait "$simpid" 2>/dev/null || true; fi
  if [ -n "$pid" ]; then kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null || true; fi
  rm -rf "$work"
  exit $rc
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; [ -f "$work/log" ] && cat "$work/log" >&2; exit 1; }

sim="$bin/tavrik-simclient"
# The working one keeps moving (for at most a minute); the other two stand still.
"$sim" "$work/w" --prog 0.30 --cpu 100 --interval 200 --steps 300 >/dev/null &
simpid=$!
"$sim" "$work/s" --once --prog 0.50 --cpu 200
"$sim" "$work/d" --once --prog 1 --cpu 300 --wtemp 1000
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

# Starts the exporter on a free loopback port (the kernel's pick) and sets $url to it.
start() {
  : >"$work/log" # emptied here: the child's own redirection may come after the first look
  "$bin/tavrik-exporter" --settings "$work/Tavrik.conf" --interval 1 --state "$work/state.json" \
    --web.listen-address "127.0.0.1:0" "$@" 2>"$work/log" &
  pid=$!
  url=
  for _ in $(seq 100); do
    url=$(sed -n 's|.*listening on \(https*://[^/]*\)/$|\1|p' "$work/log")
    [ -n "$url" ] && break
    kill -0 "$pid" 2>/dev/null || fail "the exporter did not start"
    sleep 0.1
  done
  [ -n "$url" ] || fail "no listening line"
}
stop() { kill -TERM "$pid"; wait "$pid" || fail "exporter ended with $? on SIGTERM"; pid=; }
status() { curl -sS -o /dev/null -w '%{http_code}' -m 5 "$@"; }

start
# The third client needs a second reading to be late, the first one to be seen moving.
for _ in $(seq 50); do
  curl -fsS -m 2 "$url/metrics" -o "$work/metrics" 2>/dev/null \
    && grep -q 'lab late",state="download_late"} 1' "$work/metrics" \
    && grep -q 'lab working",state="working"} 1' "$work/metrics" && break
  sleep 0.2
done
promtool check metrics <"$work/metrics" || fail "promtool check metrics"
curl -fsS -m 2 "$url/api/v1/cpus" -o "$work/cpus.json"
curl -fsS -m 2 -D "$work/headers" "$url/" -o "$work/page.html"
for pair in "lab working:working:working" "lab stalled:stalled:stalled" "lab late:download_late:download late"; do
  IFS=: read -r name key words <<<"$pair"
  grep -q "^tavrik_cpu_state{cpu=\"$name\",state=\"$key\"} 1\$" "$work/metrics" || fail "metrics: $name $key"
  grep -q "\"name\":\"$name\",[^}]*\"state\":\"$key\"" "$work/cpus.json" || fail "json: $name $key"
  grep -q "<section class=\"$key\"><h2>$name</h2><p class=\"state\">$words" "$work/page.html" || fail "page: $name $key"
done
# The late one needs the user most, so it comes first.
grep -o '<h2>[^<]*' "$work/page.html" | head -1 | grep -q 'lab late' || fail "page order"
grep -qi '^x-content-type-options: nosniff' "$work/headers" || fail "nosniff"
grep -qi "^content-security-policy: default-src 'none'; style-src 'sha256-" "$work/headers" || fail "CSP"
grep -q "$work" "$work/page.html" "$work/cpus.json" && fail "a folder path is shown"
[ "$(curl -fsS -m 2 "$url/healthz")" = ok ] || fail "/healthz"
[ "$(status "$url/nothing")" = 404 ] || fail "404"
[ "$(status -X POST "$url/metrics")" = 405 ] || fail "POST"
[ "$(status --data-binary 'x=1' -X GET "$url/metrics")" = 413 ] || fail "body"
[ "$(status -H "X-Big: $(head -c 9000 /dev/zero | tr '\0' a)" "$url/metrics")" = 431 ] || fail "large header"
stop
echo "plain HTTP on loopback: ok"

# TLS with a certificate of our own for 127.0.0.1, and two users.
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=localhost -addext subjectAltName=IP:127.0.0.1 \
  -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
{
  echo "tls_server_config:"
  echo "  cert_file: cert.pem"
  echo "  key_file: key.pem"
  echo "basic_auth_users:"
  htpasswd -nbBC 5 alice 'right horse' | sed 's/^\([^:]*\):/  \1: /'
  htpasswd -nbBC 5 bob 'other' | sed 's/^\([^:]*\):/  \1: /'
} >"$work/web.yml"
start --web.config.file "$work/web.yml"
case $url in https://*) ;; *) fail "not https: $url" ;; esac
tls=(--cacert "$work/cert.pem")
[ "$(status "${tls[@]}" "$url/healthz")" = 401 ] || fail "no credentials"
[ "$(status "${tls[@]}" -u 'alice:wrong' "$url/healthz")" = 401 ] || fail "wrong password"
[ "$(status "${tls[@]}" -u 'mallory:right horse' "$url/healthz")" = 401 ] || fail "unknown user"
[ "$(status "${tls[@]}" -u 'alice:right horse' "$url/healthz")" = 200 ] || fail "right password"
curl -fsS -m 5 "${tls[@]}" -u 'alice:right horse' "$url/metrics" | promtool check metrics || fail "metrics over TLS"
curl -fsS -m 5 --tls-max 1.1 -k -u 'alice:right horse' "$url/healthz" >/dev/null 2>&1 && fail "TLS 1.1 accepted"
curl -fsS -m 5 "http://${url#https://}/healthz" >/dev/null 2>&1 && fail "plain HTTP to the TLS port answered"
# After a third wrong password in a row from one address the next try waits, without a bcrypt
# check; credentials that passed before still do.
for n in 2 3 4; do status "${tls[@]}" -u "alice:wrong$n" "$url/healthz" >/dev/null; done
[ "$(status "${tls[@]}" -u 'bob:other' "$url/healthz")" = 429 ] || fail "repeated failures are not delayed"
[ "$(status "${tls[@]}" -u 'alice:right horse' "$url/healthz")" = 200 ] || fail "cached credentials refused"
grep -q 'right horse\|wrong' "$work/log" && fail "a password in the log"
stop
echo "TLS and basic auth: ok"

# Off the loopback address: refused without TLS and auth (2), allowed with them or --web.insecure.
for address in ":0" "0.0.0.0:0" "[::]:0"; do
  rc=0
  "$bin/tavrik-exporter" --settings "$work/Tavrik.conf" --web.listen-address "$address" 2>"$work/log" || rc=$?
  [ $rc = 2 ] || fail "$address without TLS: exit $rc"
  grep -q 'refusing to listen' "$work/log" || fail "no reason given"
done
echo "refusal off loopback: ok"

# --once never listens; a folder given as --textfile gets tavrik.prom inside it.
mkdir "$work/textfile"
"$bin/tavrik-exporter" --settings "$work/Tavrik.conf" --state "$work/state.json" --once --textfile "$work/textfile" \
  --web.listen-address ":0" 2>"$work/log" || fail "--once with a listen address"
grep -q listening "$work/log" && fail "--once listened"
promtool check metrics <"$work/textfile/tavrik.prom" || fail "--textfile FOLDER"
echo "--once and a textfile folder: ok"
echo PASS
