#!/usr/bin/env bash
# vantrel-report --serve's figures (docs/performance.md): builds the release preset, runs
# vantrel_serve_bench (one appended match on 10,000 and 1,000,000 matches), then
# bench/serve_bench.py (line-to-event delays with 1 and 200 clients, idle CPU, memory on a
# 1,000,000-match log against the batch report's).
#
#   bench/serve_bench.sh [--seconds S] [--no-build]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=30
build=1
while [ $# -gt 0 ]; do
    case "$1" in
        --seconds) seconds="$2"; shift 2 ;;
        --no-build) build=0; shift ;;
        *) echo "serve_bench.sh: unknown option $1" >&2; exit 2 ;;
    esac
done
dir=build/release
if [ $build -eq 1 ]; then
    cmake --preset release >/dev/null
    cmake --build --preset release --target vantrel-report vantrel_report_loggen vantrel_serve_bench
fi
mkdir -p "$dir/bench"
log=$dir/bench/VantrelLog-1000000.txt
[ -s "$log" ] || "$dir/vantrel_report_loggen" 1000000 >"$log"
"$dir/vantrel_serve_bench"
/usr/bin/python3 bench/serve_bench.py "$dir/vantrel-report" "$log" --seconds "$seconds"
