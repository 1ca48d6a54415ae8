#!/usr/bin/env bash
# Zorvex against the streaming limit of each job, side by side on one
# machine: builds the benchmarks (Release), writes the reference files
# (bench/gen_files.py) into a temporary directory, runs every Zorvex job and
# its limit tool pinned to the same cores, and prints one table of medians
# and ratios.
#
#   bench/compare.sh [-c CORES] [-n RUNS] [-b BUILD_DIR] [-j JOBS]
#
# CORES is a taskset list (default 2,3), RUNS the runs per job whose median
# is shown (default 3), BUILD_DIR the build directory (default build-rel),
# JOBS a comma list of the rows to run (open, end, find, back, regex, save,
# loop; default all of them). The loop row alone needs no reference files.
# ZVX_BENCH_FILES may name a directory that already holds the reference
# files; they are then not written again. lua5.4 is installed with apt-get
# when it is missing and we are root.
set -euo pipefail

src=$(cd "$(dirname "$0")/.." && pwd)
cores=2,3
runs=3
build=$src/build-rel
jobs=open,end,find,back,regex,save,loop
while getopts "c:n:b:j:h" opt; do
  case $opt in
    c) cores=$OPTARG ;;
    n) runs=$OPTARG ;;
    b) build=$OPTARG ;;
    j) jobs=$OPTARG ;;
    *) sed -n '2,17p' "$0"; exit 2 ;;
  esac
done

echo "== building the benchmarks in $build" >&2
cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZVX_BENCH=ON -DZVX_TESTS=OFF >/dev/null
files_needed=0
[[ ",$jobs," =~ ,(open|end|find|back|regex|save), ]] && files_needed=1
if [ "$files_needed" = 1 ]; then
  cmake --build "$build" -j4 --target bench_store_bench bench_plain_search_bench bench_regex_bench \
    bench_save_bench bench_interp_bench >&2
else
  cmake --build "$build" -j4 --target bench_interp_bench >&2
fi

if ! command -v lua5.4 >/dev/null; then
  if [ "$(id -u)" = 0 ]; then
    echo "== lua5.4 is missing: apt-get install lua5.4" >&2
    apt-get install -y lua5.4 >&2 || true
  fi
fi

tmp=$(mktemp -d "${TMPDIR:-/tmp}/zvx-compare-XXXXXX")
trap 'rm -rf "$tmp"' EXIT
ref=${ZVX_BENCH_FILES:-}
if [ "$files_needed" = 1 ] && { [ -z "$ref" ] || [ ! -s "$ref/f1g.txt" ]; }; then
  ref=$tmp/ref
  echo "== writing the reference files into $ref" >&2
  python3 "$src/bench/gen_files.py" "$ref" >&2
fi

ZVX_BENCH_FILES=${ref:-$tmp} JOBS=$jobs BENCH=$build/bench CORES=$cores RUNS=$runs WORK=$tmp python3 - <<'EOF'
import json, os, statistics, subprocess, sys, time

bench, cores, runs, work = os.environ["BENCH"], os.environ["CORES"], int(os.environ["RUNS"]), os.environ["WORK"]
ref = os.environ["ZVX_BENCH_FILES"]
jobs = set(os.environ["JOBS"].split(","))
big = os.path.join(ref, "f1g.txt")
pin = ["taskset", "-c", cores]
c_env = dict(os.environ, LC_ALL="C")
regex = "[0-9]+ [-+*/%] [0-9]+"  # the pattern of BM_RegexLineCount/pattern:0


def log(*a):
    print(*a, file=sys.stderr, flush=True)


def zorvex(program, name, min_time=0.01):
    """One fresh process running one benchmark; its JSON entry."""
    out = subprocess.run(pin + [os.path.join(bench, program), "--benchmark_filter=^" + name + "$",
                                "--benchmark_format=json", "--benchmark_min_time=%g" % min_time],
                         check=True, capture_output=True, text=True).stdout
    entries = [b for b in json.loads(out)["benchmarks"] if b.get("run_type", "iteration") == "iteration"]
    if not entries or entries[0].get("error_occurred"):
        raise RuntimeError(name + ": " + (entries[0].get("error_message", "?") if entries else "not run"))
    return entries[0]


def seconds(entry):
    scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}[entry["time_unit"]]
    return entry["real_time"] * scale


def timed(cmd, env=None, before=None):
    """Wall time of a pinned command, and its standard output."""
    if before:
        before()
    t = time.perf_counter()
    p = subprocess.run(pin + cmd, check=True, capture_output=True, text=True, env=env)
    return time.perf_counter() - t, p.stdout.strip()


def median(f):
    """The median of runs calls of f (of the first item when f gives a
    tuple), and what the last call gave."""
    vals = [f() for _ in range(runs)]
    return statistics.median(v[0] if isinstance(v, tuple) else v for v in vals), vals[-1]


def fmt_s(s):
    if s < 1e-3:
        return "%.0f µs" % (s * 1e6)
    if s < 1:
        return "%.0f ms" % (s * 1e3)
    return "%.2f s" % s


rows = []
# Warm the page cache, so every program reads the same cached bytes.
if jobs - {"loop"}:
    subprocess.run(["cat", big], stdout=subprocess.DEVNULL, check=True)

if "open" in jobs:
    log("== open, first 60 lines")
    small, _ = median(lambda: seconds(zorvex("bench_store_bench", "BM_OpenAndFirstLines/1", 0.5)))
    large, _ = median(lambda: seconds(zorvex("bench_store_bench", "BM_OpenAndFirstLines/1024", 0.5)))
    rows.append(("open, first 60 lines (in process)", "%s at 1 MiB, %s at 1 GiB" % (fmt_s(small), fmt_s(large)), "-",
                 "%.1fx (1 GiB / 1 MiB)" % (large / small), "1 GiB within 2x of 1 MiB"))

if "end" in jobs:
    log("== go to the last line")
    entries = [zorvex("bench_store_bench", "BM_GoToLastLine/1024") for _ in range(runs)]
    walk = statistics.median(e["first_ms"] / 1e3 for e in entries)
    rss = statistics.median(e["peak_rss_MiB"] for e in entries)
    wc, (_, wc_out) = median(lambda: timed(["wc", "-l", big]))
    rows.append(("go to the last line, 16 MiB page limit", "%s, %.1f MiB" % (fmt_s(walk), rss), "`wc -l` " + fmt_s(wc),
                 "%.2fx" % (walk / wc), "within 1.2x of `wc -l`, under 64 MiB"))
    if int(entries[-1]["last_line"]) != int(wc_out.split()[0]):
        log("   line counts differ: Zorvex %d, wc %s" % (entries[-1]["last_line"], wc_out))

if "find" in jobs:
    log("== find a literal near the end")
    find, _ = median(lambda: seconds(zorvex("bench_plain_search_bench", "BM_EditorSearch/1024/real_time")))
    grep_f, _ = median(lambda: timed(["grep", "-F", "-c", "ZORVEX_MARKER_LINE", big], env=c_env))
    rows.append(("find a literal near the end (the editor's own search)", fmt_s(find), "`grep -F -c` " + fmt_s(grep_f),
                 "%.2fx" % (find / grep_f), "within 1.5x of `grep -F`"))

if "back" in jobs:
    log("== find a literal near the end, backward from the end")
    back, _ = median(lambda: seconds(zorvex("bench_plain_search_bench", "BM_EditorSearchBackward/1024/real_time")))
    rows.append(("the same, backward from the last line (its go-to-end included)", fmt_s(back), "`grep -F -c` " + fmt_s(grep_f),
                 "%.2fx" % (back / grep_f), "within 1.5x of `grep -F`"))

if "regex" in jobs:
    log("== regex line count")
    entries = [zorvex("bench_regex_bench", "BM_RegexLineCount/pattern:0/mib:1024/real_time") for _ in range(runs)]
    rx = statistics.median(seconds(e) for e in entries)
    grep_e, (_, grep_e_out) = median(lambda: timed(["grep", "-E", "-c", regex, big], env=c_env))
    rows.append(("regex line count `%s`" % regex, fmt_s(rx), "`grep -E -c` %s (C locale)" % fmt_s(grep_e),
                 "%.2fx" % (rx / grep_e), "faster than `grep -E`"))
    if int(entries[-1]["lines_matched"]) != int(grep_e_out):
        log("   match counts differ: Zorvex %d, grep %s" % (entries[-1]["lines_matched"], grep_e_out))

if "save" in jobs:
    log("== search, change one line, save")
    save, _ = median(lambda: seconds(zorvex("bench_save_bench", "BM_SearchEditSave/1024/real_time")))
    copy = os.path.join(work, "copy.txt")
    rm_copy = lambda: os.path.exists(copy) and os.unlink(copy)
    cp, _ = median(lambda: timed(["sh", "-c", 'cp "$0" "$1" && sync "$1"', big, copy], before=rm_copy))
    rm_copy()
    rows.append(("search, change one line, save (default options, with fsync)", fmt_s(save), "`cp` + `sync` " + fmt_s(cp),
                 "%.2fx" % (save / cp), "within 1.5x of `cp` + `sync`, search included"))

if "loop" in jobs:
    log("== byte-code loop")
    # An inverted rate counter is written in seconds per item.
    loop, _ = median(lambda: zorvex("bench_interp_bench", "BM_ByteCodeIncrementLoop", 0.5)["ns_per_iteration"] * 1e9)
    n = 10_000_000
    py_src = ("import time\ndef f():\n    i = 0\n    while i < %d: i = i + 1\n"
              "t = time.perf_counter(); f(); print((time.perf_counter() - t) * 1e9 / %d)" % (n, n))
    py, _ = median(lambda: float(timed(["python3", "-c", py_src])[1]))
    limits = ["python3 %.1f ns" % py]
    ratios = ["%.2fx python3" % (loop / py)]
    lua_src = ("local t = os.clock(); local i = 0; while i < %d do i = i + 1 end; "
               "print((os.clock() - t) * 1e9 / %d)" % (n, n))
    try:
        lua, _ = median(lambda: float(timed(["lua5.4", "-e", lua_src])[1]))
        limits.append("lua5.4 %.1f ns" % lua)
        ratios.append("%.2fx lua5.4" % (loop / lua))
    except (OSError, subprocess.CalledProcessError):
        limits.append("lua5.4 not installed")
    rows.append(("byte-code loop, 10^6 times `i = i + 1`", "%.1f ns an iteration" % loop, ", ".join(limits),
                 ", ".join(ratios), "under 12 ns: ahead of python3"))

py_version = subprocess.run(["python3", "--version"], capture_output=True, text=True).stdout.strip()
load = "load average %.2f %.2f %.2f" % os.getloadavg()
print("Medians of %d runs, every program pinned to cores %s, reference files of gen_files.py (1 GiB unless said); %s; %s."
      % (runs, cores, py_version, load))
print()
print("| job | Zorvex | limit | ratio | goal |")
print("|---|---|---|---|---|")
for r in rows:
    print("| " + " | ".join(r) + " |")
EOF
