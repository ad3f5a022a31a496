#!/usr/bin/env bash
# The browser client's benchmark: `acq serve` on a fresh demo library in a
# temporary folder (any free port of the loopback), tests/browser/bench.mjs
# against it in headless Chromium, then the server stopped and the folder
# removed. ACQ_BIN names the `acq` to run (default build/bin/acq).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
acq=${ACQ_BIN:-$root/build/bin/acq}
tmp=$(mktemp -d)
server=""
cleanup() {
  if [ -n "$server" ]; then
    kill -TERM "$server" 2>/dev/null || true
    wait "$server" 2>/dev/null || true
  fi
  rm -rf "$tmp"
}
trap cleanup EXIT

"$acq" init --demo --db "$tmp/demo.db" >/dev/null
mkfifo "$tmp/out"
# An empty workstation configuration: nothing of the person's own applies.
ACQ_WORKSTATION="$tmp/workstation.ini" "$acq" serve --db "$tmp/demo.db" --port 0 \
  >"$tmp/out" 2>"$tmp/serve.log" &
server=$!
# "acq serve: open http://127.0.0.1:PORT/ in a browser"
url=""
exec 3<"$tmp/out"
if read -r -t 30 line <&3; then
  url=$(printf '%s\n' "$line" | grep -o 'http[s]*://[^ ]*' || true)
fi
if [ -z "$url" ]; then
  echo "bench-browser: acq serve did not start:" >&2
  cat "$tmp/serve.log" >&2
  exit 1
fi
# Keep reading the server's output so it never blocks on a full pipe.
cat <&3 >/dev/null &
ACQ_URL=$url node "$root/tests/browser/bench.mjs"
