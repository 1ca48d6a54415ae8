#!/usr/bin/env bash
# Fresh machine to a tested tree: installs the packages, checks that no file
# includes a header of a layer above its own, then builds and runs the whole
# suite twice (a normal build and an ASan+UBSan build), then runs every fuzz
# target for a fixed number of inputs. Fails when anything fails.
#
#   bash scripts/test-all.sh                    everything
#   bash scripts/test-all.sh fuzz [TARGET...]   the fuzz targets only (all, or those named)
#
# The fuzz runs give the same answer every time on the same machine: a fixed
# seed, a fixed number of inputs starting from the saved corpus (read in a
# fixed order), a fixed environment, and address-space randomization turned
# off for the target (libFuzzer's coverage counts stack depth and traced
# comparisons, both of which see addresses). Long fuzzing with random seeds
# is scripts/fuzz-long.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/fuzz-common.sh

only=${1:-all}
case $only in all|fuzz) ;; *) echo "usage: $0 [fuzz [TARGET...]]" >&2; exit 2 ;; esac
[ $# -gt 0 ] && shift

bash scripts/install-deps.sh

echo "== layer order =="
bash scripts/check-layers.sh

echo "== formatting =="
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror

jobs=$(nproc)

# Inputs per target, chosen so that each takes 6-17 s on one core of a busy
# 8-core machine (the runs are one process each, so a two-core machine takes
# about as long, inside the 30 s budget). Measure again when a target or its
# corpus changes much; a new target gets the default until it has its own line.
declare -A fuzz_runs=(
  [bitmap_file]=3500
  [clip_controls]=200000
  [filename]=80000
  [help_file]=80000
  [help_layout]=15000
  [heap_image]=1000000
  [ini_text]=300000
  [interp]=12000
  [lexer_file]=3000
  [line_lexer]=250000
  [lstr_fields]=200000
  [module_reader]=80000
  [picture_resource]=35000
  [plain_search]=80000
  [regex]=7000
  [selection_data]=200000
  [spell_dict]=15000
  [state_reader]=45000
  [tag_scan]=25000
  [template_records]=150000
  [text_load]=5000
  [word_list]=20000
  [xpm_convert]=24000
)
fuzz_default_runs=10000

# A test that writes "atomically" over a device node would replace it with a
# plain file; catch that here rather than in the next program that needs it.
check_devices() {
  for d in /dev/null /dev/zero /dev/full; do
    [ -c "$d" ] || { echo "$d is no longer a character device: a test replaced it"; exit 1; }
  done
}

# Runs the suite with TMPDIR pointing at a fresh directory, which must be
# empty afterwards: tests keep their files in directories they remove.
run_suite() {  # <build dir> <cmake args...>
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja "$@"
  cmake --build "$dir" -j "$jobs"
  local scratch
  scratch=$(mktemp -d)
  chmod 755 "$scratch"  # tests that run as nobody reach their directories through it
  (cd "$dir" && TMPDIR=$scratch ctest -j "$jobs" --output-on-failure --timeout 1200)
  check_devices
  if [ -n "$(ls -A "$scratch")" ]; then
    echo "tests left files behind in TMPDIR:"; ls -lA "$scratch"; exit 1
  fi
  rmdir "$scratch"
}

# One target, the same way every time. Prints a summary line, or the report
# of a failure; the failing input stays in $fuzz_failures.
fuzz_ci_run() {  # <name> <runs>
  # Absolute paths: a target may change its working directory.
  local name=$1 runs=$2 work=$PWD/$fuzz_build_dir/fuzz-work/$1 status=0 started=$SECONDS
  rm -rf "$work"
  mkdir -p "$work/corpus" "$work/tmp" "$fuzz_failures"
  # The saved inputs in a fixed order; new finds go to a fresh directory.
  local seeds=()
  if [ -d "fuzz/corpus/$name" ]; then
    # libFuzzer takes the list's last name up to the end of the file: no newline.
    find "$PWD/fuzz/corpus/$name" -type f | LC_ALL=C sort | paste -sd, - | tr -d '\n' > "$work/seeds"
    [ -s "$work/seeds" ] && seeds=(-seed_inputs=@"$work/seeds")
  fi
  local env=(env -i PATH=/usr/local/bin:/usr/bin:/bin TMPDIR="$work/tmp"
             ASAN_OPTIONS="$fuzz_asan_options" UBSAN_OPTIONS="$fuzz_ubsan_options" LSAN_OPTIONS="$fuzz_lsan_options")
  [ -n "$symbolizer" ] && env+=(ASAN_SYMBOLIZER_PATH="$symbolizer")
  # No RSS thread and no timed allocator purge: both change what the target
  # sees from run to run. The malloc limit still catches a runaway allocation.
  "${env[@]}" "${norandom[@]}" "$fuzz_build_dir/fuzz/fuzz_$name" \
    -seed=1 -runs="$runs" -reload=0 -rss_limit_mb=0 -malloc_limit_mb=2048 -purge_allocator_interval=-1 \
    -timeout=25 -print_final_stats=1 -artifact_prefix="$PWD/$fuzz_failures/$name-" "${seeds[@]}" "$work/corpus" \
    > "$work/log" 2>&1 || status=$?
  if [ "$status" -ne 0 ]; then
    fuzz_report_failure "$name" "$work/log" "$status"
    rm -rf "$work"
    return 1
  fi
  # What two runs must agree on: inputs executed, coverage, corpus.
  local done_line
  done_line=$(grep -m1 $'\tDONE ' "$work/log" | sed -E 's/^#([0-9]+)\tDONE +/\1 inputs  /; s/ exec\/s:.*//')
  printf '%-14s %-64s (%d s)\n' "$name" "$done_line" $((SECONDS - started))
  if [ -n "$(ls -A "$work/tmp")" ]; then
    echo "!! fuzz target $name left files behind in TMPDIR:"; ls -lA "$work/tmp"
    rm -rf "$work"
    return 1
  fi
  rm -rf "$work"
}

if [ "$only" = all ]; then
  echo "== normal build =="
  run_suite build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZVX_BENCH=ON

  echo "== ASan+UBSan build =="
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    run_suite build-asan -DCMAKE_BUILD_TYPE=Debug -DZVX_SANITIZE=ON
fi

echo "== fuzz targets (seed 1, a fixed number of inputs each) =="
fuzz_build "$jobs"
symbolizer=$(fuzz_symbolizer)
norandom=(setarch "$(uname -m)" -R)
if ! "${norandom[@]}" true 2>/dev/null; then
  echo "note: address-space randomization cannot be turned off here (setarch -R failed):" \
       "the fuzz runs will not repeat exactly"
  norandom=()
fi
targets=("$@")
[ ${#targets[@]} -gt 0 ] || mapfile -t targets < <(fuzz_targets)
failed=()
for name in "${targets[@]}"; do
  [ -x "$fuzz_build_dir/fuzz/fuzz_$name" ] || { echo "no fuzz target $name"; failed+=("$name"); continue; }
  fuzz_ci_run "$name" "${fuzz_runs[$name]:-$fuzz_default_runs}" || failed+=("$name")
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz targets failed: ${failed[*]} (inputs kept in $fuzz_failures/)"
  exit 1
fi
echo "all suites passed"
