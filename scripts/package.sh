#!/usr/bin/env bash
# Builds the Windows release archive on a fresh Debian 12 machine, installing what is
# missing first (MinGW-w64 and the library sources: scripts/bootstrap-windows.sh; Wine is
# not needed for this):
#
#   build/windows/package/vantrel-VERSION-windows-x64.zip
#   build/windows/package/SHA256SUMS
#
# The archive is made by CPack from the `windows` preset's build (the workflow preset
# `windows-package`: configure, build, package); cmake/package.cmake says what it holds.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/bootstrap-windows.sh --no-wine
rm -rf build/windows/package
cmake --workflow --preset windows-package
rm -rf build/windows/package/_CPack_Packages   # CPack's staging area, not for upload
echo
echo "package: the archive and its checksum:"
ls -l build/windows/package/*.zip build/windows/package/SHA256SUMS
