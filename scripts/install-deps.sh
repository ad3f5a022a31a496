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
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi
