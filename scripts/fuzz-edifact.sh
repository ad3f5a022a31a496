#!/usr/bin/env bash
# Fuzzes the EDIFACT interchange reader for SECONDS (default 60):
#   scripts/fuzz-edifact.sh [SECONDS]
# Builds fuzz/edifact_reader_fuzz with clang, libFuzzer, AddressSanitizer and
# UBSan (in $ACQ_BUILD_DIR-fuzz, default build-fuzz), seeded with the
# interchanges of tests/data/edifact and the inputs of fuzz/regressions (each
# one an input that once made the reader fail: keep every new one there).
# New inputs it finds collect in the build folder's fuzz-corpus; a crash
# leaves its input in fuzz-artifacts and fails the script.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
build=${ACQ_BUILD_DIR:-$root/build}
build=${build%/}-fuzz
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DACQ_FUZZ=ON >/dev/null
cmake --build "$build" --target edifact_reader_fuzz -j"$(nproc)"
mkdir -p "$build/fuzz-corpus" "$build/fuzz-artifacts"
# As for the sanitizer build: no shadow memory with too many random mmap bits.
unrandomised=()
if [ "$(cat /proc/sys/vm/mmap_rnd_bits 2>/dev/null || echo 28)" -gt 28 ]; then
  unrandomised=(setarch "$(uname -m)" -R)
fi
echo "==> fuzz-edifact.sh: the interchange reader for ${seconds}s"
"${unrandomised[@]}" "$build/bin/edifact_reader_fuzz" -max_total_time="$seconds" \
  -max_len=131072 -timeout=30 -print_final_stats=1 \
  -artifact_prefix="$build/fuzz-artifacts/" \
  "$build/fuzz-corpus" "$root/tests/data/edifact" "$root/fuzz/regressions"
