#!/usr/bin/env bash
# Builds the sanitizer build and runs every test. Installs what is missing first.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/bootstrap.sh
cmake --preset debug >/dev/null
cmake --build --preset debug
ctest --preset debug

# The Windows module and host, cross-built with MinGW-w64 and run under Wine (skipped,
# saying so, where those cannot be installed).
scripts/windows-test.sh
