#!/usr/bin/env bash
# The Windows checks (tests/windows/windows_test.sh, where they live with the other tests):
# the MinGW-w64 cross build, its files and the programs under Wine. scripts/test.sh ends
# with this.
exec "$(dirname "$0")/../tests/windows/windows_test.sh" "$@"
