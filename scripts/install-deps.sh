#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the benchmarks need.
# Run as root (or through sudo) on a fresh Debian 12 machine.
set -euo pipefail
packages=(
  g++ cmake ninja-build pkg-config make
  libsqlite3-dev sqlite3
  libsodium-dev
  libpq-dev
  # The shared-server engine's tests run on throw-away clusters (pg-cluster.sh).
  postgresql
  libgtest-dev libgmock-dev libbenchmark-dev
  # Fuzzing the EDIFACT reader (scripts/fuzz-edifact.sh): clang with libFuzzer.
  clang libfuzzer-14-dev
  # acq serve: the web server of the browser client.
  libboost-dev libssl-dev nlohmann-json3-dev
  # (the openssl tool makes a throw-away certificate for the TLS test)
  openssl
  # Printing: PDF with cairo and pango, CUPS; the tests read PDFs back with pdftotext.
  libcairo2-dev libpango1.0-dev libcups2-dev poppler-utils fonts-dejavu-core
  # The browser client's end-to-end tests: headless Chromium driven from node.
  chromium
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
# node and npm: Debian's, unless the machine has its own already.
command -v node >/dev/null && command -v npm >/dev/null || missing+=(nodejs npm)
if ((${#missing[@]})); then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
  updated=1
fi

# The printing tests start a CUPS scheduler of their own on loopback: the
# program only, without its recommends (discovery daemons), and with the
# machine's printing service left stopped (a policy-rc.d that denies every
# start while it installs, unless the machine has one already).
if ! dpkg-query -W -f='${Status}' cups-daemon 2>/dev/null | grep -q 'install ok installed'; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  [ -n "${updated:-}" ] || $SUDO apt-get update -qq
  policy=/usr/sbin/policy-rc.d
  own_policy=""
  if [ ! -e "$policy" ]; then
    own_policy=1
    trap '$SUDO rm -f "$policy"' EXIT
    printf '#!/bin/sh\nexit 101\n' | $SUDO tee "$policy" >/dev/null
    $SUDO chmod 755 "$policy"
  fi
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends cups-daemon
  if [ -n "$own_policy" ]; then
    $SUDO rm -f "$policy"
    trap - EXIT
  fi
fi

# playwright-core, at the version the lock file holds, for the browser tests.
browser_tests=$(cd "$(dirname "$0")/../tests/browser" && pwd)
stamp=$browser_tests/node_modules/.installed-from-lock
if ! cmp -s "$browser_tests/package-lock.json" "$stamp"; then
  npm ci --prefix "$browser_tests" --no-audit --no-fund --loglevel=error
  cp "$browser_tests/package-lock.json" "$stamp"
fi
