#!/usr/bin/env bash
# Prepares the Windows cross build: installs MinGW-w64 and Wine, unpacks the sources of
# {fmt} and Dear ImGui into build/windows/_deps and creates the Wine prefix the tests run
# in. Idempotent, and silent when everything is already there.
#
#   scripts/bootstrap-windows.sh [--no-wine]
#
# Exit status: 0 when the cross build can run; 2 when the compilers or a source package
# could not be had (the caller may report the Windows checks as skipped). Wine is optional:
# when it cannot be installed or its prefix cannot be created, a message says so and the
# status is still 0 (the caller checks for build/windows/wineprefix/system.reg).
set -euo pipefail
cd "$(dirname "$0")/.."

want_wine=1
[ "${1:-}" = "--no-wine" ] && want_wine=0

build_dir=build/windows
deps_dir=$build_dir/_deps
prefix_dir=$PWD/$build_dir/wineprefix

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive

is_installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

updated=0
apt_update() {
    [ $updated -eq 1 ] && return 0
    $sudo apt-get update -qq >/dev/null
    updated=1
}

# Installs the packages not yet installed; returns non-zero if apt could not.
install_missing() {
    local missing=() p
    for p in "$@"; do is_installed "$p" || missing+=("$p"); done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "bootstrap-windows: installing ${missing[*]}"
    apt_update || return 1
    $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# The compilers (posix threading flavour: see cmake/mingw-w64-x86_64.cmake), windres and
# objdump, {fmt}'s headers, Boost's and nlohmann::json's headers (vantrel-report --serve;
# header-only, used as they are), and dpkg-source for unpacking Dear ImGui's source package.
if ! install_missing cmake ninja-build g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 \
        libfmt-dev libboost-dev nlohmann-json3-dev dpkg-dev; then
    echo "bootstrap-windows: could not install the MinGW-w64 toolchain" >&2
    exit 2
fi

# {fmt} is used header-only. Its headers are copied out of /usr/include so that the cross
# compiler never sees the build machine's C library headers beside them.
fmt_stamp=$deps_dir/fmt/version
fmt_version=$(dpkg-query -W -f='${Version}' libfmt-dev)
if [ "$(cat "$fmt_stamp" 2>/dev/null)" != "$fmt_version" ]; then
    rm -rf "$deps_dir/fmt"
    mkdir -p "$deps_dir/fmt/include"
    cp -r /usr/include/fmt "$deps_dir/fmt/include/"
    echo "$fmt_version" >"$fmt_stamp"
fi

# Dear ImGui: the source of the same Debian package whose library the Linux build links,
# so both builds use one version. apt-get source needs a deb-src entry; one is added for
# the distribution's main archive (same address as its binary entry) when none exists.
has_deb_src() {
    grep -rqsE '^(Types:.*deb-src|deb-src )' /etc/apt/sources.list /etc/apt/sources.list.d/
}
add_deb_src() {
    local uri codename
    uri=$(grep -hsE '^URIs:' /etc/apt/sources.list.d/*.sources | awk '{print $2}' \
        | grep -vE 'security|updates' | head -n1 || true)
    if [ -z "$uri" ]; then
        uri=$(grep -hsE '^deb ' /etc/apt/sources.list | awk '{print $2}' \
            | grep -vE 'security|updates' | head -n1 || true)
    fi
    codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
    if [ -z "$uri" ] || [ -z "$codename" ]; then
        echo "bootstrap-windows: no Debian archive entry found to add a deb-src entry for" >&2
        return 1
    fi
    echo "bootstrap-windows: adding a deb-src entry for $codename main"
    $sudo tee /etc/apt/sources.list.d/vantrel-deb-src.sources >/dev/null <<EOF
Types: deb-src
URIs: $uri
Suites: $codename
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
EOF
    updated=0
}
if [ ! -f "$deps_dir/imgui/imgui.cpp" ]; then
    if ! has_deb_src; then add_deb_src || exit 2; fi
    # A failed update may still leave usable source lists: apt-get source decides.
    apt_update || echo "bootstrap-windows: apt-get update failed; trying the lists at hand" >&2
    echo "bootstrap-windows: unpacking the source of Dear ImGui into $deps_dir/imgui"
    scratch=$(mktemp -d)
    trap 'rm -rf "$scratch"' EXIT
    # As root, apt fetches outside its sandbox user, which it reports; the note is noise.
    if ! (cd "$scratch" && apt-get source -qq imgui >/dev/null 2>"$scratch/apt.log"); then
        cat "$scratch/apt.log" >&2
        echo "bootstrap-windows: apt-get source imgui failed" >&2
        exit 2
    fi
    unpacked=$(find "$scratch" -mindepth 1 -maxdepth 1 -type d -name 'imgui-*' | head -n1)
    if [ -z "$unpacked" ] || [ ! -f "$unpacked/imgui.cpp" ]; then
        echo "bootstrap-windows: the imgui source package holds no imgui.cpp" >&2
        exit 2
    fi
    mkdir -p "$deps_dir"
    rm -rf "$deps_dir/imgui"
    mv "$unpacked" "$deps_dir/imgui"
fi

[ $want_wine -eq 1 ] || exit 0

# Wine runs the console host with no display: WINEDEBUG=-all keeps its own diagnostics
# out of the program's output. The prefix lives in the build directory, apart from any
# user's ~/.wine, and is created once (wineboot -i), with a time limit.
if ! install_missing wine wine64; then
    echo "bootstrap-windows: could not install Wine; the Windows programs cannot be run here" >&2
    exit 0
fi
if [ ! -f "$prefix_dir/system.reg" ]; then
    mkdir -p "$prefix_dir"
    echo "bootstrap-windows: creating the Wine prefix $prefix_dir"
    if ! WINEPREFIX=$prefix_dir WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
            timeout 300 wineboot -i >"$build_dir/wineboot.log" 2>&1; then
        echo "bootstrap-windows: wineboot failed (see $build_dir/wineboot.log)" >&2
    fi
    # wineboot leaves the prefix's wineserver running for a few seconds; wait for it so
    # the prefix is complete on disk when we return.
    WINEPREFIX=$prefix_dir timeout 60 wineserver -w 2>/dev/null || true
fi
exit 0
