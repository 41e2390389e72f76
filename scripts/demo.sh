#!/usr/bin/env bash
# Builds the release build and plays an evening of ranked matches in vantrel-host
# (examples/evening.vsh), then shows the log the plug-in wrote and where the pictures of
# the table and the settings panel are. Then plays a week of evenings on a fixed calendar
# (examples/week.vsh) and reports it with vantrel-report: the sessions in the terminal and
# a page with the charts. Installs what is missing first.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/bootstrap.sh
cmake --preset release >/dev/null
cmake --build --preset release --target vantrel-host Vantrel vantrel-report
workdir=build/demo
rm -rf "$workdir"
{
    cat examples/evening.vsh
    echo "snapshot table.png"
    echo "settings settings.png"
} | build/release/vantrel-host --workdir "$workdir" -
echo
echo "--- $workdir/VantrelLog.txt ---"
cat "$workdir/VantrelLog.txt"
echo
echo "The table on a game screen: $workdir/table.png; the settings panel: $workdir/settings.png"

# The week: seven evenings, one session each (two on Wednesday), from Monday 30 November.
week=$workdir/week
build/release/vantrel-host --clock 2026-11-30T19:00 --workdir "$week" examples/week.vsh >/dev/null
echo
echo "--- vantrel-report $week/VantrelLog.txt ---"
build/release/vantrel-report "$week/VantrelLog.txt" --html "$workdir/report.html"
echo
echo "The week's page (charts, sessions, matches): $workdir/report.html"
