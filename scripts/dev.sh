#!/usr/bin/env bash
# One entry point for a fresh Debian machine:
#   scripts/dev.sh run [acq options]   install, build, make the demo database, start the client
#   scripts/dev.sh test                install, build, run every test
#   scripts/dev.sh build               install and build only
#   scripts/dev.sh bench               install, build, run the benchmarks
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${ACQ_BUILD_DIR:-$root/build}
verb=${1:-run}
[ $# -gt 0 ] && shift

"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DACQ_WERROR=ON >/dev/null
cmake --build "$build" -j"$(nproc)"

case "$verb" in
  build) ;;
  test)
    ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
    ;;
  bench)
    for b in "$build"/bin/bench_*; do "$b"; done
    ;;
  run)
    mkdir -p "$root/var"
    db="$root/var/demo.db"
    [ -f "$db" ] || "$build/bin/acq" init --demo --db "$db"
    export ACQ_WORKSTATION=${ACQ_WORKSTATION:-$root/var/workstation.ini}
    exec "$build/bin/acq" --db "$db" "$@"
    ;;
  *)
    echo "usage: scripts/dev.sh run|test|build|bench" >&2
    exit 64
    ;;
esac
