#!/usr/bin/env bash
# Fresh machine to a tested tree: installs the packages, checks that no file
# includes a header of a layer above its own, then builds and runs the whole
# suite twice (a normal build and an ASan+UBSan build), then runs
# every fuzz target for a short fixed time. Fails when anything fails.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

echo "== layer order =="
bash scripts/check-layers.sh

jobs=$(nproc)
fuzz_seconds=${ZVX_FUZZ_SECONDS:-20}

run_suite() {  # <build dir> <cmake args...>
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja "$@"
  cmake --build "$dir" -j "$jobs"
  (cd "$dir" && ctest -j "$jobs" --output-on-failure --timeout 1200)
  check_devices
}

# A test that writes "atomically" over a device node would replace it with a
# plain file; catch that here rather than in the next program that needs it.
check_devices() {
  for d in /dev/null /dev/zero /dev/full; do
    [ -c "$d" ] || { echo "$d is no longer a character device: a test replaced it"; exit 1; }
  done
}

echo "== normal build =="
run_suite build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZVX_BENCH=ON

echo "== ASan+UBSan build =="
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  run_suite build-asan -DCMAKE_BUILD_TYPE=Debug -DZVX_SANITIZE=ON

echo "== fuzz targets (${fuzz_seconds}s each) =="
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZVX_FUZZ=ON
cmake --build build-fuzz -j "$jobs"
for t in build-fuzz/fuzz/fuzz_*; do
  [ -x "$t" ] || continue
  name=$(basename "$t"); name=${name#fuzz_}
  seeds=fuzz/corpus/$name
  work=$(mktemp -d)
  [ -d "$seeds" ] && cp -r "$seeds"/. "$work"/ 2>/dev/null || true
  echo "-- $name"
  # A fixed seed: the same machine tries the same inputs on every run.
  status=0
  "$t" -seed=1 -max_total_time="$fuzz_seconds" -print_final_stats=0 -artifact_prefix="$work/" "$work" \
    > "$work.log" 2>&1 || status=$?
  tail -n 3 "$work.log"
  if [ "$status" -ne 0 ]; then
    for a in "$work"/crash-* "$work"/leak-* "$work"/timeout-*; do
      if [ -f "$a" ]; then echo "failing input ($a):"; head -c 128 "$a" | od -An -c; fi
    done
  fi
  rm -f "$work.log"
  rm -rf "$work"
  [ "$status" -eq 0 ] || { echo "fuzz target $name failed"; exit 1; }
done
echo "all suites passed"
