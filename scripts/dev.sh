#!/usr/bin/env bash
# One entry point for a fresh Debian machine:
#   scripts/dev.sh run [acq options]   install, build, make the demo database, start the client
#   scripts/dev.sh serve [options]     the same, then serve the browser client on it
#                                      (prints the address to open)
#   scripts/dev.sh test                install, build with the sanitizers, run every
#                                      test on SQLite and on a throw-away PostgreSQL
#                                      cluster, fuzz. ACQ_TEST_ENGINES=sqlite (or
#                                      postgresql): that engine only; ACQ_TEST_SERVER=URI:
#                                      the server half on that server, no cluster.
#   scripts/dev.sh build               install and build only
#   scripts/dev.sh bench               install, build, run the benchmarks
#   scripts/dev.sh fuzz [SECONDS]      fuzz the EDIFACT reader (default 60 s)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${ACQ_BUILD_DIR:-$root/build}
build=${build%/}
# The same sources built with AddressSanitizer (and LeakSanitizer) and
# UndefinedBehaviorSanitizer, for the tests only.
sanitize_build=$build-asan
verb=${1:-run}
[ $# -gt 0 ] && shift

# Line tables only (-g1): backtraces, gdb and the sanitizers' reports still
# name files and lines, and a build takes about a quarter of the disk that
# full debug information does (a test machine once ran out of space linking).
# Configure with -DCMAKE_BUILD_TYPE=Debug yourself for full debug information.
debug_flags=(-DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG")
# Free space (KiB) of the file system holding DIR, or the nearest existing parent.
free_kib() {
  local dir=$1
  while [ ! -d "$dir" ]; do dir=$(dirname "$dir"); done
  df -Pk "$dir" | awk 'NR == 2 { print $4 }'
}

"$root/scripts/install-deps.sh"
# The product's build (the test run has a build of its own, below).
if [ "$verb" != test ]; then
  echo "==> dev.sh: $(($(free_kib "$build") / 1048576)) GiB free for $build"
  cmake -S "$root" -B "$build" -G Ninja -DACQ_WERROR=ON "${debug_flags[@]}" >/dev/null
  cmake --build "$build" -j"$(nproc)"
fi

case "$verb" in
  build) ;;
  test)
    # The suite runs on SQLite, then on PostgreSQL: on the server
    # ACQ_TEST_SERVER names, else on a throw-away cluster made for the run.
    # Every half runs even when an earlier one failed; any failing fails the run.
    engines=${ACQ_TEST_ENGINES:-sqlite,postgresql}
    given_server=${ACQ_TEST_SERVER:-}
    cluster="" cluster_tmp=""
    stop_cluster() {
      if [ -n "$cluster" ]; then
        "$root/scripts/pg-cluster.sh" stop "$cluster" || true
        cluster=""
      fi
      if [ -n "$cluster_tmp" ]; then
        rmdir "$cluster_tmp" 2>/dev/null || true
        cluster_tmp=""
      fi
    }
    trap stop_cluster EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM
    # A port nothing listens on (loopback), from a random start.
    free_port() {
      local port
      for _ in $(seq 50); do
        port=$((20000 + RANDOM % 30000))
        if ! (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
          echo "$port"
          return 0
        fi
      done
      return 1
    }
    # run_suite BUILD_DIR [COMMAND PREFIX...]: both halves of one build.
    failed=()
    # The names and last lines of a half's failing tests, printed again at
    # the end: the fuzz run's output would otherwise bury them.
    failure_report=$(mktemp /tmp/acq-failures-XXXXXX)
    note_failures() {
      local dir=$1 what=$2 log=$1/Testing/Temporary/LastTest.log
      failed+=("$dir ($what)")
      {
        echo "==> failing tests of $dir ($what):"
        cat "$dir/Testing/Temporary/LastTestsFailed.log" 2>/dev/null
        [ -f "$log" ] && python3 "$root/scripts/failed-output.py" "$log" \
          "$dir/Testing/Temporary/LastTestsFailed.log"
      } >>"$failure_report"
    }
    run_suite() {
      local dir=$1
      shift
      if [[ ,$engines, == *,sqlite,* ]]; then
        echo "==> dev.sh: the tests of $dir on SQLite"
        "$@" env -u ACQ_TEST_SERVER ctest --test-dir "$dir" --output-on-failure -j"$(nproc)" ||
          note_failures "$dir" SQLite
      fi
      [[ ,$engines, == *,postgresql,* ]] || return 0
      local uri=$given_server passfile=${PGPASSFILE:-}
      if [ -z "$uri" ]; then
        # The server runs as an unprivileged account when we are root: it
        # must reach the cluster's folder.
        cluster=$dir/pg-test-cluster
        if [ "$(id -u)" -eq 0 ] && ! runuser -u nobody -- test -x "$dir" 2>/dev/null; then
          cluster_tmp=$(mktemp -d /tmp/acq-pg-XXXXXX)
          cluster=$cluster_tmp/cluster
        fi
        "$root/scripts/pg-cluster.sh" stop "$cluster"   # a leftover of a killed run
        local port
        port=$(free_port) && uri=$("$root/scripts/pg-cluster.sh" start "$cluster" "$port") || {
          echo "dev.sh: cannot start a PostgreSQL cluster for the tests" \
               "(ACQ_TEST_ENGINES=sqlite runs SQLite only)" >&2
          failed+=("$dir (PostgreSQL: no cluster)")
          stop_cluster
          return 0
        }
        passfile=$cluster/pgpass
      fi
      local server_env=(ACQ_TEST_SERVER="$uri")
      if [ -n "$passfile" ]; then server_env+=(PGPASSFILE="$passfile"); fi
      echo "==> dev.sh: the tests of $dir on PostgreSQL ($uri)"
      "$@" env "${server_env[@]}" ctest --test-dir "$dir" --output-on-failure -j"$(nproc)" ||
        note_failures "$dir" PostgreSQL
      stop_cluster
    }
    # The tests run on one build, made with the sanitizers: the same sources
    # and optimisation as the product's build, and any leak, bad access or
    # undefined behaviour fails the test that made it. (Building and running
    # the suite twice, plain and sanitized, no longer fitted a CI run.)
    #
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
    echo "==> dev.sh: $(($(free_kib "$sanitize_build") / 1048576)) GiB free for $sanitize_build"
    cmake -S "$root" -B "$sanitize_build" -G Ninja -DACQ_WERROR=ON -DACQ_SANITIZE=ON \
      "${debug_flags[@]}" >/dev/null
    if "${unrandomised[@]}" cmake --build "$sanitize_build" -j"$(nproc)"; then
      run_suite "$sanitize_build" "${unrandomised[@]}"
    else
      failed+=("$sanitize_build (build)")
    fi
    # A minute of fuzzing of the EDIFACT reader (clang, ASan, UBSan).
    "$root/scripts/fuzz-edifact.sh" 60 || failed+=("fuzz (edifact reader)")
    [ ${#failed[@]} -gt 0 ] || rm -f "$failure_report"
    if ((${#failed[@]})); then
      cat "$failure_report" >&2
      rm -f "$failure_report"
      printf 'dev.sh: tests failed: %s\n' "${failed[@]}" >&2
      exit 1
    fi
    ;;
  fuzz) exec "$root/scripts/fuzz-edifact.sh" "$@" ;;
  bench)
    for b in "$build"/bin/bench_*; do "$b"; done
    ACQ_BIN="$build/bin/acq" "$root/scripts/bench-browser.sh"
    ;;
  run|serve)
    mkdir -p "$root/var"
    db="$root/var/demo.db"
    [ -f "$db" ] || "$build/bin/acq" init --demo --db "$db"
    export ACQ_WORKSTATION=${ACQ_WORKSTATION:-$root/var/workstation.ini}
    if [ "$verb" = serve ]; then exec "$build/bin/acq" serve --db "$db" "$@"; fi
    exec "$build/bin/acq" --db "$db" "$@"
    ;;
  *)
    echo "usage: scripts/dev.sh run|serve|test|build|bench|fuzz" >&2
    exit 64
    ;;
esac
