#!/usr/bin/env bash
# Long fuzzing, run by hand: each fuzz target in turn (all of them, or the
# ones named) for a time budget, with one libFuzzer process per core, each on
# its own random seed. The processes of one target share a corpus directory
# and pick up each other's finds. Unlike the short runs in test-all.sh these
# runs never repeat: that is the point.
#
#   bash scripts/fuzz-long.sh [-t SECONDS] [-j PROCESSES] [TARGET...]
#
# Defaults: 600 s per target, one process per core. Failing inputs and their
# logs stay in build-fuzz/fuzz-failures/; the new inputs stay in
# build-fuzz/fuzz-long/<target>/corpus, where the next run goes on from them.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/fuzz-common.sh

usage() { echo "usage: $0 [-t SECONDS] [-j PROCESSES] [TARGET...]" >&2; }

seconds=600
procs=$(nproc)
while getopts t:j:h opt; do
  case $opt in
    t) seconds=$OPTARG ;;
    j) procs=$OPTARG ;;
    *) usage; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
[[ $seconds =~ ^[1-9][0-9]*$ && $procs =~ ^[1-9][0-9]*$ ]] || { usage; exit 2; }

fuzz_build "$(nproc)"
targets=("$@")
[ ${#targets[@]} -gt 0 ] || mapfile -t targets < <(fuzz_targets)
for name in "${targets[@]}"; do
  [ -x "$fuzz_build_dir/fuzz/fuzz_$name" ] || { echo "no fuzz target $name; there are: $(fuzz_targets | tr '\n' ' ')" >&2; exit 2; }
done
symbolizer=$(fuzz_symbolizer)
mkdir -p "$fuzz_failures"

pids=()
# Ctrl-C stops this target's processes, not only the script.
trap 'kill "${pids[@]}" 2>/dev/null; exit 130' INT TERM

failed=()
for name in "${targets[@]}"; do
  dir=$PWD/$fuzz_build_dir/fuzz-long/$name
  mkdir -p "$dir/corpus"
  rm -rf "$dir/tmp" "$dir"/log.*
  mkdir "$dir/tmp"
  seeds=()
  [ -d "fuzz/corpus/$name" ] && seeds=("$PWD/fuzz/corpus/$name")
  echo "== $name: $procs processes for $seconds s"
  pids=()
  for i in $(seq 1 "$procs"); do
    # No -seed: libFuzzer picks one from the clock and prints it ("INFO: Seed:").
    env TMPDIR="$dir/tmp" ASAN_OPTIONS="$fuzz_asan_options" UBSAN_OPTIONS="$fuzz_ubsan_options" LSAN_OPTIONS="$fuzz_lsan_options" \
      ${symbolizer:+ASAN_SYMBOLIZER_PATH="$symbolizer"} \
      "$fuzz_build_dir/fuzz/fuzz_$name" -max_total_time="$seconds" -timeout=25 -print_final_stats=1 \
      -artifact_prefix="$PWD/$fuzz_failures/$name-" "$dir/corpus" "${seeds[@]}" > "$dir/log.$i" 2>&1 &
    pids+=($!)
  done
  runs=0
  for i in "${!pids[@]}"; do
    log=$dir/log.$((i + 1))
    status=0
    wait "${pids[$i]}" || status=$?
    n=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    runs=$((runs + ${n:-0}))
    if [ "$status" -ne 0 ]; then
      echo "(process $((i + 1)), $(grep -m1 '^INFO: Seed:' "$log" || echo 'seed unknown'))"
      fuzz_report_failure "$name" "$log" "$status"
      failed+=("$name")
    fi
  done
  pids=()
  echo "$name: $runs inputs, $(find "$dir/corpus" -type f | wc -l) in $dir/corpus"
  rm -rf "$dir/tmp"
done

echo "To keep new finds, add the ones that raise coverage to the saved corpus:"
echo "  $fuzz_build_dir/fuzz/fuzz_<target> -merge=1 fuzz/corpus/<target> $fuzz_build_dir/fuzz-long/<target>/corpus"
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz targets failed: $(printf '%s\n' "${failed[@]}" | sort -u | tr '\n' ' ')(inputs kept in $fuzz_failures/)"
  exit 1
fi
echo "no failures"
