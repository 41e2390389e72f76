#!/usr/bin/env bash
# The mutation lane (docs/testing.md): small faults made in the given product files, each
# built in build/mutants and tried on the quick tests that cover the file.
#   scripts/mutants.sh [--sample N --seed S] [--timeout SECONDS] [--list] FILE_OR_DIRECTORY...
set -euo pipefail
cd "$(dirname "$0")/.."
exec python3 scripts/mutants.py "$@"
