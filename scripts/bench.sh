#!/usr/bin/env bash
# The performance figures in one command: builds the release preset, checks that the
# overlay's and the log's texts are those of the format strings parsed at run time, runs
# the Google Benchmarks (each figure next to its floor) and the callgrind counts, and
# prints a summary. Results (JSON, callgrind files, the summary) go to build/release/bench/results.
#
#   scripts/bench.sh [--repetitions N] [--min-time SECONDS] [--no-callgrind] [--no-build]
#
# Timings are noisy on a busy machine: the summary shows the load average before and after
# the run. Callgrind instruction counts do not depend on the load.
set -euo pipefail
cd "$(dirname "$0")/.."

repetitions=5
min_time=0.5
callgrind=1
build=1
while [ $# -gt 0 ]; do
    case "$1" in
        --repetitions) repetitions="$2"; shift 2 ;;
        --min-time) min_time="$2"; shift 2 ;;
        --no-callgrind) callgrind=0; shift ;;
        --no-build) build=0; shift ;;
        -h|--help) sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "bench.sh: unknown option $1" >&2; exit 2 ;;
    esac
done

build_dir=build/release
results=$build_dir/bench/results
frames=1000   # frames (and log lines) per callgrind run
polls=100     # retries per callgrind run (a load retries at most 119 times)

if [ $build -eq 1 ]; then
    cmake --preset release >/dev/null
    cmake --build --preset release
fi
mkdir -p "$results"

echo "== texts: compile-time format strings against run-time ones"
"$build_dir/vantrel_format_check"

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
echo "== benchmarks (load average $load_before)"
"$build_dir/vantrel_bench" \
    --benchmark_repetitions="$repetitions" --benchmark_min_time="$min_time" \
    --benchmark_report_aggregates_only=true \
    --benchmark_out="$results/benchmarks.json" --benchmark_out_format=json
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

declare -A instructions=()
if [ $callgrind -eq 1 ]; then
    if ! command -v valgrind >/dev/null; then
        echo "bench.sh: valgrind is not installed: no instruction counts" >&2
    else
        echo "== callgrind"
        for work in render floor changing log poll; do
            count=$frames
            [ "$work" = poll ] && count=$polls
            out="$results/callgrind.$work.out"
            valgrind --tool=callgrind --collect-atstart=no --toggle-collect=vantrel_run \
                --callgrind-out-file="$out" "$build_dir/vantrel_frames" "$work" "$count" >/dev/null 2>&1
            total=$(sed -n 's/^totals: *\([0-9]*\).*/\1/p' "$out")
            instructions[$work]="$total $count"
            echo "$work: $total instructions for $count"
        done
    fi
fi

cpu=$(lscpu | sed -n 's/^Model name: *//p' | head -1)
cores=$(nproc)
{
    echo "machine: $cpu, $cores cores; load average before $load_before, after $load_after"
    python3 - "$results/benchmarks.json" "${instructions[render]:-}" "${instructions[floor]:-}" \
        "${instructions[changing]:-}" "${instructions[log]:-}" "${instructions[poll]:-}" <<'EOF'
import json, sys

data = json.load(open(sys.argv[1]))
medians = {}
for b in data["benchmarks"]:
    if b.get("aggregate_name") == "median":
        medians[b["run_name"].split("/")[0]] = b

def cpu_ns(name):
    b = medians[name]
    scale = {"ns": 1, "us": 1e3, "ms": 1e6, "s": 1e9}[b["time_unit"]]
    return b["cpu_time"] * scale

print("\nmedian CPU time per operation (Google Benchmark)")
print(f"{'':18}{'time':>12}{'floor':>12}{'ratio':>8}{'target':>8}  allocations")
rows = [("Render", "RenderFloor", 1.5), ("Log", "LogFloor", 1.2), ("Poll", "PollFloor", None),
        ("RenderChanging", "RenderFloor", None), ("Load", None, None), ("LoadUnload", None, None)]
for name, floor, target in rows:
    if name not in medians:
        continue
    t = cpu_ns(name)
    line = f"{name:18}{t:10.0f}ns"
    if floor and floor in medians:
        f = cpu_ns(floor)
        ratio = t / f
        verdict = "" if target is None else ("  met" if ratio <= target else "  MISSED")
        line += f"{f:10.0f}ns{ratio:8.2f}{('<=' + str(target)) if target else '':>8}"
    else:
        line += f"{'':12}{'':8}{'':8}"
    allocs = medians[name].get("allocs")
    if allocs is not None:
        line += f"  {allocs:.2f}"
        if "long_strings" in medians[name]:
            line += f" (strings over 15 chars: {medians[name]['long_strings']:.0f})"
        if floor and floor in medians and "allocs" in medians[floor]:
            line += f"; floor {medians[floor]['allocs']:.2f}"
    if floor and target:
        line += verdict
    print(line)

counts = {}
for key, arg in zip(["render", "floor", "changing", "log", "poll"], sys.argv[2:]):
    if arg:
        total, n = arg.split()
        counts[key] = int(total) / int(n)
if counts:
    print("\ninstructions per operation (callgrind)")
    if "render" in counts:
        line = f"{'Render':18}{counts['render']:12.0f}"
        if "floor" in counts:
            line += f"{counts['floor']:12.0f}{counts['render'] / counts['floor']:8.2f}  (floor frame)"
        print(line)
    for key, label in [("changing", "RenderChanging"), ("log", "Log (user space)"), ("poll", "Poll")]:
        if key in counts:
            print(f"{label:18}{counts[key]:12.0f}")
EOF
} | tee "$results/summary.txt"
