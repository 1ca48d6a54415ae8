# Shared by scripts/test-all.sh and scripts/fuzz-long.sh (sourced, not run):
# building the fuzz targets and reporting a failed run. Paths are relative to
# the repository root, where both scripts run.

fuzz_build_dir=build-fuzz
fuzz_failures=$fuzz_build_dir/fuzz-failures   # failing inputs and their logs; never deleted

# Configures (once) and builds every fuzz target with clang.
fuzz_build() {  # <jobs>
  if [ ! -f "$fuzz_build_dir/build.ninja" ]; then
    CC=clang CXX=clang++ cmake -S . -B "$fuzz_build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZVX_FUZZ=ON
  fi
  cmake --build "$fuzz_build_dir" -j "$1"
}

# The names of the built targets (fuzz_<name>), sorted.
fuzz_targets() {
  local t
  for t in "$fuzz_build_dir"/fuzz/fuzz_*; do
    if [ -x "$t" ]; then echo "${t##*/fuzz_}"; fi
  done | LC_ALL=C sort
}

# The symbolizer that turns the sanitizers' addresses into file:line; Debian
# keeps it in the llvm package, not in clang's hard dependencies.
fuzz_symbolizer() {
  local s
  s=$(command -v llvm-symbolizer 2>/dev/null || ls /usr/lib/llvm-*/bin/llvm-symbolizer 2>/dev/null | tail -n 1 || true)
  if [ -z "$s" ]; then
    echo "note: no llvm-symbolizer (Debian package llvm): sanitizer reports will show bare addresses" >&2
  fi
  echo "$s"
}

# Options that make a sanitizer finding fatal, so that libFuzzer keeps the input.
fuzz_asan_options=detect_leaks=1:symbolize=1
fuzz_ubsan_options=halt_on_error=1:print_stacktrace=1:symbolize=1
fuzz_lsan_options=suppressions=$PWD/fuzz/lsan-suppressions.txt

# Prints what a failed run left: the sanitizer's whole report (everything the
# run wrote after its last progress line), the failing input in hex, and
# where the input and the full log are kept.
fuzz_report_failure() {  # <name> <log> <status>
  local name=$1 log=$2 status=$3 input kept
  echo "!! fuzz target $name failed (exit status $status)"
  echo "---- report ----"
  awk '/^#[0-9]+\t/ || /^INFO: seed corpus:/ || /^INFO: A corpus is not provided/ { start = NR }
       { line[NR] = $0 }
       END { for (i = start + 1; i <= NR; i++) print line[i] }' "$log"
  echo "---- end of report ----"
  input=$(sed -n 's/.*Test unit written to //p' "$log" | tail -n 1)
  if [ -n "$input" ] && [ -f "$input" ]; then
    kept="$input.log"
    cp "$log" "$kept"
    echo "failing input: $input ($(wc -c < "$input") bytes); full log: $kept"
    if [ "$(wc -c < "$input")" -gt 4096 ]; then echo "(first 4096 bytes)"; fi
    head -c 4096 "$input" | od -A x -t x1z
    echo "replay: $fuzz_build_dir/fuzz/fuzz_$name $input"
  else
    kept="$fuzz_failures/$name-$(date +%Y%m%d-%H%M%S).log"
    cp "$log" "$kept"
    echo "no input was written; full log: $kept"
  fi
}
