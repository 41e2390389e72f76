#!/usr/bin/env bash
# vantrel-report on a long log: generates a log of MATCHES matches (default 1,000,000, about
# 3.4 million lines), then times the report on it against `wc -l` on the same file in the
# same run (warm cache, runs alternating, medians), and with --insights --json against
# without; measures peak memory with /usr/bin/time -v (with --html and --csv, and with
# --insights --json against the plain report) and the size of its HTML page. Results go to
# build/release/bench/results.
#
#   scripts/bench-report.sh [--matches N] [--runs N] [--no-build]
#
# Timings are noisy on a busy machine: CPU time (user + system) is shown beside the
# elapsed time, and the load average before and after.
set -euo pipefail
cd "$(dirname "$0")/.."

matches=1000000
runs=5
build=1
while [ $# -gt 0 ]; do
    case "$1" in
        --matches) matches="$2"; shift 2 ;;
        --runs) runs="$2"; shift 2 ;;
        --no-build) build=0; shift ;;
        -h|--help) sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "bench-report.sh: unknown option $1" >&2; exit 2 ;;
    esac
done

build_dir=build/release
results=$build_dir/bench/results
log=$build_dir/bench/VantrelLog-$matches.txt
if [ $build -eq 1 ]; then
    cmake --preset release >/dev/null
    cmake --build --preset release --target vantrel-report vantrel_report_loggen
fi
mkdir -p "$results"
[ -s "$log" ] || "$build_dir/vantrel_report_loggen" "$matches" >"$log"

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
cat "$log" >/dev/null   # warm the cache
# One timed run: "elapsed cpu" in seconds.
timed() {
    /usr/bin/time -f '%e %U %S' -o "$results/time.txt" "$@" >/dev/null
    awk '{ printf "%s %.2f\n", $1, $2 + $3 }' "$results/time.txt"
}
: >"$results/wc.txt"
: >"$results/report.txt"
: >"$results/insights.txt"
for _ in $(seq "$runs"); do
    timed wc -l "$log" >>"$results/wc.txt"
    timed "$build_dir/vantrel-report" "$log" >>"$results/report.txt"
    timed "$build_dir/vantrel-report" "$log" --insights --json "$results/history.json" >>"$results/insights.txt"
done
median() { sort -n -k"$2" "$1" | awk -v k="$2" '{ v[NR] = $k } END { print v[int((NR + 1) / 2)] }'; }
wc_elapsed=$(median "$results/wc.txt" 1)
wc_cpu=$(median "$results/wc.txt" 2)
report_elapsed=$(median "$results/report.txt" 1)
report_cpu=$(median "$results/report.txt" 2)
insights_elapsed=$(median "$results/insights.txt" 1)
insights_cpu=$(median "$results/insights.txt" 2)
peak() {
    /usr/bin/time -v "$@" >/dev/null 2>"$results/time-v.txt"
    sed -n 's/.*Maximum resident set size (kbytes): //p' "$results/time-v.txt"
}
plain_kb=$(peak "$build_dir/vantrel-report" "$log")
insights_kb=$(peak "$build_dir/vantrel-report" "$log" --insights --json "$results/history.json")

/usr/bin/time -v "$build_dir/vantrel-report" "$log" --html "$results/page.html" --csv "$results/matches.csv" \
    >/dev/null 2>"$results/time-v.txt"
peak_kb=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$results/time-v.txt")
load_after=$(cut -d' ' -f1-3 /proc/loadavg)

{
    echo "machine: $(lscpu | sed -n 's/^Model name: *//p' | head -1), $(nproc) cores; load average before $load_before, after $load_after"
    echo "log: $matches matches, $(wc -l <"$log") lines, $(( $(stat -c %s "$log") / 1048576 )) MB; $runs runs, medians"
    printf '%-28s %9s %9s\n' "" "elapsed" "cpu"
    printf '%-28s %8ss %8ss\n' "wc -l" "$wc_elapsed" "$wc_cpu"
    printf '%-28s %8ss %8ss\n' "vantrel-report" "$report_elapsed" "$report_cpu"
    awk -v a="$report_elapsed" -v b="$wc_elapsed" -v c="$report_cpu" -v d="$wc_cpu" \
        'BEGIN { printf "%-28s %8.1fx %8.1fx\n", "ratio to wc -l", a / b, (d > 0 ? c / d : 0) }'
    printf '%-28s %8ss %8ss\n' "... --insights --json FILE" "$insights_elapsed" "$insights_cpu"
    awk -v a="$insights_elapsed" -v b="$report_elapsed" -v c="$insights_cpu" -v d="$report_cpu" \
        'BEGIN { printf "%-28s %8.2fx %8.2fx (goal: 1.5x)\n", "ratio to the report", a / b, (d > 0 ? c / d : 0) }'
    awk -v a="$insights_kb" -v b="$plain_kb" \
        'BEGIN { printf "peak memory: %d MB, with --insights --json %d MB: %.2fx (goal: 1.2x)\n", b / 1024, a / 1024, a / b }'
    echo "JSON file: $(( $(stat -c %s "$results/history.json") / 1048576 )) MB"
    echo "peak memory (with --html and --csv): $(( peak_kb / 1024 )) MB (goal: under 100 MB)"
    echo "HTML page: $(( $(stat -c %s "$results/page.html") / 1024 )) KB (goal: under 2 MB); CSV: $(( $(stat -c %s "$results/matches.csv") / 1048576 )) MB"
} | tee "$results/report-summary.txt"
