#!/usr/bin/env bash
# Builds the release build and plays an evening of ranked matches in vantrel-host
# (examples/evening.vsh), then shows the log the plug-in wrote and where the pictures of
# the table and the settings panel are. Installs what is missing first.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/bootstrap.sh
cmake --preset release >/dev/null
cmake --build --preset release --target vantrel-host Vantrel
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
