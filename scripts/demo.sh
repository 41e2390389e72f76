#!/usr/bin/env bash
# Builds the release build and plays the demo session in vantrel-host, then shows the
# log the plug-in wrote. Installs what is missing first.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/bootstrap.sh
cmake --preset release >/dev/null
cmake --build --preset release --target vantrel-host Vantrel
workdir=build/demo
rm -rf "$workdir"
build/release/vantrel-host --workdir "$workdir" examples/first-session.vsh
echo
echo "--- $workdir/VantrelLog.txt ---"
cat "$workdir/VantrelLog.txt"
