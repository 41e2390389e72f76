#!/usr/bin/env bash
# Builds the sanitizer build and runs every test, then the Windows checks. Installs what is
# missing first. This is what CI runs (.ci/run).
#
#   scripts/test.sh           the full run
#   scripts/test.sh --quick   the inner loop: builds only the programs of the tests labelled
#                             "quick" and runs those (no load, soak, fuzz, browser, window
#                             or Windows tests)
set -euo pipefail
cd "$(dirname "$0")/.."

quick=false
case "${1:-}" in
    "") ;;
    --quick) quick=true ;;
    *) echo "usage: scripts/test.sh [--quick]" >&2; exit 2 ;;
esac

scripts/bootstrap.sh
cmake --preset debug >/dev/null

if $quick; then
    cmake --build --preset debug --target quick-tests
    exec ctest --preset debug -L '^quick$'
fi

cmake --build --preset debug
# Every test carries one of the labels (tests/CMakeLists.txt); one without would fall out
# of the quick lane unnoticed (a test is known to CTest once its program is built).
unlabelled=$(ctest --preset debug -N -LE '^(quick|load|soak|fuzz|browser|window)$' | sed -n 's/^ *Test *#[0-9]*: //p')
if [ -n "$unlabelled" ]; then
    echo "test.sh: tests without a label (quick, load, soak, fuzz, browser or window):" >&2
    printf '  %s\n' $unlabelled >&2
    exit 1
fi

ctest --preset debug

# The Windows module and host, cross-built with MinGW-w64 and run under Wine (skipped,
# saying so, where those cannot be installed).
scripts/windows-test.sh
