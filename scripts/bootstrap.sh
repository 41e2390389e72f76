#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need. Idempotent, and
# silent when everything is already there. Needs root (or sudo) only when something is missing.
set -euo pipefail

packages=(
    cmake ninja-build g++ pkg-config
    libfmt-dev libimgui-dev libgtest-dev libgmock-dev libbenchmark-dev
    libcairo2-dev libosmesa6-dev fonts-dejavu-core
    clang libclang-rt-14-dev
    libglfw3-dev libx11-dev libedit-dev xvfb
    chromium time
    libboost-dev nlohmann-json3-dev python3-websocket
)

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "bootstrap: installing ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
