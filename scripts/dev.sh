#!/usr/bin/env bash
# One entry point for a fresh Debian machine:
#   scripts/dev.sh run [acq options]   install, build, make the demo database, start the client
#   scripts/dev.sh test                install, build, run every test, then build
#                                      and run them again under the sanitizers
#   scripts/dev.sh build               install and build only
#   scripts/dev.sh bench               install, build, run the benchmarks
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${ACQ_BUILD_DIR:-$root/build}
build=${build%/}
# The same sources built with AddressSanitizer (and LeakSanitizer) and
# UndefinedBehaviorSanitizer, for the tests only.
sanitize_build=$build-asan
verb=${1:-run}
[ $# -gt 0 ] && shift

"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DACQ_WERROR=ON >/dev/null
cmake --build "$build" -j"$(nproc)"

case "$verb" in
  build) ;;
  test)
    # Both suites run even when the first fails; either failing fails the run.
    failed=()
    ctest --test-dir "$build" --output-on-failure -j"$(nproc)" || failed+=("$build")
    # GCC 12's AddressSanitizer cannot lay out its shadow memory when the
    # kernel randomises mappings with more than 28 bits (vm.mmap_rnd_bits, 32
    # on some newer kernels): its programs then crash in a loop at start. Such
    # machines run the sanitizer build (its test discovery too) unrandomised.
    unrandomised=()
    if [ "$(cat /proc/sys/vm/mmap_rnd_bits 2>/dev/null || echo 28)" -gt 28 ]; then
      unrandomised=(setarch "$(uname -m)" -R)
      "${unrandomised[@]}" true 2>/dev/null || {
        echo "dev.sh: vm.mmap_rnd_bits is above 28 and address randomisation cannot be turned" \
             "off here; the sanitizer build needs 'sudo sysctl vm.mmap_rnd_bits=28'" >&2
        exit 1
      }
    fi
    cmake -S "$root" -B "$sanitize_build" -G Ninja -DACQ_WERROR=ON -DACQ_SANITIZE=ON >/dev/null
    { "${unrandomised[@]}" cmake --build "$sanitize_build" -j"$(nproc)" &&
      "${unrandomised[@]}" ctest --test-dir "$sanitize_build" --output-on-failure -j"$(nproc)"
    } || failed+=("$sanitize_build")
    if ((${#failed[@]})); then
      echo "dev.sh: tests failed in ${failed[*]}" >&2
      exit 1
    fi
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
