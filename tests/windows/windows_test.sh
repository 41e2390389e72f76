#!/usr/bin/env bash
# Builds the Windows cross build (preset `windows`, build/windows) and checks what it made:
#   - plugins/Vantrel.dll exports exactly `exports`, `getPlugin` and `deleteMe`, and no
#     binary needs the MinGW runtime DLLs;
#   - the version resource and the plug-in record read back from the file;
#   - under Wine: vantrel-host.exe runs tests/windows/session.vsh and, once it exists,
#     examples/first-session.vsh, each in a fresh working directory; it must exit 0 and
#     write a VantrelLog.txt whose every line ends in CR LF and whose messages are those
#     of the Linux build on the same script (tests/windows/session.expected when no Linux
#     build of vantrel-host is found);
#   - under Wine: a file that is no DLL, a DLL with a missing import and a DLL without a
#     plug-in record are refused with exit status 2 and the system's reason;
#   - under Wine: vantrel-report.exe reads CR LF logs (the Windows session's own, and the
#     week of examples/week.vsh played by the Linux host, with CR LF line ends) and its
#     terminal report, CSV and HTML page equal the Linux build's on the same files;
#   - under Wine: vantrel-report.exe --serve answers /api/history.json with the Linux
#     build's bytes on the same log, and follows the log vantrel-host.exe is writing;
#   - the release archive (cpack from this build): exactly the files listed, SHA256SUMS,
#     the exe's version resource; unpacked into an empty folder, its vantrel-report.exe
#     under Wine: --version equals the resource, a folder without a log, the log by path
#     and dropped onto it (from a folder named outside the code page), the window held on a
#     console of its own, and --serve answering /api/history.json.
#
# Installs what it needs first (scripts/bootstrap-windows.sh). When MinGW-w64 or Wine
# cannot be had it prints "skipped: ..." for what it could not do, and that is no failure.
# Exit status: 0 when nothing failed, 1 otherwise. Ends with "windows: N passed, N failed".
#
# VANTREL_LINUX_HOST=PATH names the Linux vantrel-host to compare with (default: the one
# in build/debug or build/release, with its own plug-in); VANTREL_LINUX_REPORT=PATH the
# Linux vantrel-report (default: the one beside that host).
set -uo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
build=build/windows
here=tests/windows

passed=0
failed=0
skipped=0
ok() { echo "  ok       $1"; passed=$((passed + 1)); }
bad() {
    echo "  FAIL     $1"
    [ -n "${2:-}" ] && printf '%s\n' "$2" | head -n 40 | sed 's/^/           /'
    failed=$((failed + 1))
}
skip() { echo "skipped: $1"; skipped=$((skipped + 1)); }
finish() {
    echo "windows: $passed passed, $failed failed, $skipped skipped"
    [ $failed -eq 0 ] && exit 0
    exit 1
}

# --- build ----------------------------------------------------------------------------
echo "windows: building with MinGW-w64 (preset windows, $build)"
scripts/bootstrap-windows.sh
case $? in
    0) ;;
    2) skip "the Windows build: MinGW-w64 or the Dear ImGui source cannot be had here"; finish ;;
    *) bad "bootstrap (scripts/bootstrap-windows.sh)"; finish ;;
esac
if ! cmake --preset windows >"$build/configure.log" 2>&1; then
    bad "configure (cmake --preset windows)" "$(tail -n 30 "$build/configure.log")"
    finish
fi
if ! cmake --build --preset windows >"$build/build.log" 2>&1; then
    bad "build (cmake --build --preset windows)" "$(grep -E 'error|FAILED' "$build/build.log" | head -n 30)"
    finish
fi

objdump=x86_64-w64-mingw32-objdump
dll=$build/plugins/Vantrel.dll
exe=$build/vantrel-host.exe
sdk=$(ls "$build"/pluginsdk.dll "$build"/libpluginsdk.dll 2>/dev/null | head -n 1)

# --- the module's files, export table and runtime ------------------------------------
echo "windows: module files"
if [ -f "$dll" ]; then ok "$dll built"; else bad "$dll was not built"; finish; fi
if [ -z "$sdk" ]; then bad "the SDK DLL (libpluginsdk.dll) was not built"; finish; fi

exports=$($objdump -p "$dll" | awk '/\[Ordinal\/Name Pointer\] Table/ { t = 1; next }
    t && /^[[:space:]]*\[/ { print $NF; next }  t { exit }' | sort | tr '\n' ' ')
if [ "$exports" = "deleteMe exports getPlugin " ]; then
    ok "exported names: $exports"
else
    bad "exported names" "expected: deleteMe exports getPlugin"$'\n'"found:    $exports"
fi

runtime_imports=""
for binary in "$dll" $sdk $([ -f "$exe" ] && echo "$exe"); do
    found=$($objdump -p "$binary" | awk '/DLL Name:/ { print $3 }' \
        | grep -iE '^(libstdc\+\+-6|libgcc_s_[a-z0-9]+-1|libwinpthread-1)\.dll$' | tr '\n' ' ')
    [ -n "$found" ] && runtime_imports+="$binary imports $found"$'\n'
done
if [ -z "$runtime_imports" ]; then
    ok "C++ runtime linked statically (no libstdc++, libgcc or winpthread DLL needed)"
else
    bad "MinGW runtime DLLs needed at run time" "$runtime_imports"
fi

# --- version resource and plug-in record, read from the file -------------------------
echo "windows: version resource and plug-in record"
expected_version='FILEVERSION 1.0.0.153
PRODUCTVERSION 1.0.0.153
040904b0/FileDescription Vantrel
040904b0/FileVersion 1.0.0.153
040904b0/InternalName Vantrel.dll
040904b0/OriginalFilename Vantrel.dll
040904b0/ProductName Vantrel
040904b0/ProductVersion 1.0.0.153'
if version=$(python3 "$here/pe_module.py" version "$dll" 2>&1) && [ "$version" = "$expected_version" ]; then
    ok "version resource: 1.0.0.153, Vantrel.dll"
else
    bad "version resource" "$(diff <(echo "$expected_version") <(echo "$version"))"
fi

expected_record='revision 95
sourcePath set
className Vantrel
displayName Vantrel Plugin
version 1.0
pluginType 0
getPlugin export
deleteMe export'
if record=$(python3 "$here/pe_module.py" record "$dll" 2>&1) && [ "$record" = "$expected_record" ]; then
    ok "plug-in record: revision 95, \"Vantrel\", both functions at their exported addresses"
else
    bad "plug-in record" "$(diff <(echo "$expected_record") <(echo "$record"))"
fi

# --- the release archive ---------------------------------------------------------------
# Made by CPack from this build (cmake/package.cmake), then checked as a player gets it.
echo "windows: the release archive"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
package_dir=$build/package
archive=$package_dir/vantrel-$version-windows-x64.zip
unpacked=""
rm -rf "$package_dir"
if ! cpack --preset windows >"$build/package.log" 2>&1; then
    bad "cpack --preset windows" "$(tail -n 20 "$build/package.log")"
elif [ ! -f "$archive" ]; then
    bad "no $archive" "$(ls "$package_dir")"
else
    ok "cpack made $(basename "$archive")"
    expected_files='LICENSE.txt
README.txt
THIRD-PARTY-NOTICES.txt
vantrel-host/README.txt
vantrel-host/libpluginsdk.dll
vantrel-host/plugins/Vantrel.dll
vantrel-host/vantrel-host.exe
vantrel-report.exe'
    files=$(cmake -E tar tf "$archive" | grep -v '/$' | LC_ALL=C sort)
    if [ "$files" = "$expected_files" ]; then
        ok "the archive holds exactly the $(echo "$files" | wc -l) files listed"
    else
        bad "the archive's files (< expected, > found)" "$(diff <(echo "$expected_files") <(echo "$files"))"
    fi
    sums=$(cd "$package_dir" && sha256sum --strict -c SHA256SUMS 2>&1)
    if [ $? -eq 0 ] && [ "$sums" = "$(basename "$archive"): OK" ]; then
        ok "SHA256SUMS names the archive alone, and its checksum matches"
    else
        bad "SHA256SUMS" "$sums"
    fi
    unpacked=$root/$build/unpacked
    rm -rf "$unpacked"
    mkdir -p "$unpacked"
    (cd "$unpacked" && cmake -E tar xf "$root/$archive")
    if grep -q "^Vantrel $version for Windows" "$unpacked/README.txt" &&
            [ "$(head -c 200 "$unpacked/README.txt" | tr -cd '\r' | wc -c)" -gt 0 ]; then
        ok "README.txt names version $version, with Windows line ends"
    else
        bad "README.txt: no title with version $version, or no CR LF line ends" "$(head -n 3 "$unpacked/README.txt")"
    fi
    resource=$(python3 "$here/pe_module.py" version "$unpacked/vantrel-report.exe" 2>&1)
    resource_version=$(sed -n 's|^040904b0/FileVersion ||p' <<<"$resource")
    if [ "$resource_version" = "$version" ] && grep -qx "FILEVERSION $version" <<<"$resource" &&
            grep -qx "040904b0/ProductVersion $version" <<<"$resource" &&
            grep -qx "040904b0/OriginalFilename vantrel-report.exe" <<<"$resource"; then
        ok "vantrel-report.exe's version resource: $version, the project's version"
    else
        bad "vantrel-report.exe's version resource (project version $version)" "$resource"
    fi
fi

# --- sessions under Wine --------------------------------------------------------------
echo "windows: sessions under Wine"
if [ ! -f "$exe" ]; then
    skip "the Wine sessions: $exe was not built"
    finish
fi
if ! command -v wine >/dev/null || [ ! -f "$build/wineprefix/system.reg" ]; then
    skip "the Wine sessions: Wine or its prefix ($build/wineprefix) cannot be had here"
    finish
fi
export WINEPREFIX=$root/$build/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
windows_path() { winepath -w "$1" 2>/dev/null; }

linux_host=${VANTREL_LINUX_HOST:-}
if [ -z "$linux_host" ]; then
    for candidate in build/debug/vantrel-host build/release/vantrel-host; do
        [ -x "$candidate" ] && { linux_host=$candidate; break; }
    done
fi

sessions=$build/sessions
rm -rf "$sessions"
mkdir -p "$sessions"

# session NAME SCRIPT [EXPECTED-MESSAGES] [compare-output]
session() {
    local name=$1 script=$2 expected=${3:-} compare_output=${4:-}
    local dir=$root/$sessions/$name
    # The Windows host has no Cairo snapshot and no settings picture; those commands
    # are left out of both runs.
    local filtered=$dir.vsh
    grep -vE '^[[:space:]]*(snapshot|settings)([[:space:]]|$)' "$script" >"$filtered"
    local dropped
    dropped=$(($(wc -l <"$script") - $(wc -l <"$filtered")))
    [ "$dropped" -gt 0 ] && echo "           ($name: $dropped snapshot/settings lines left out)"

    local status=0
    timeout 300 wine "$exe" --workdir "$(windows_path "$dir/win")" "$(windows_path "$filtered")" \
        >"$dir.win.out" 2>"$dir.win.err" || status=$?
    if [ $status -ne 0 ]; then
        bad "$name: vantrel-host.exe exited with status $status" "$(tail -n 20 "$dir.win.err")"
        return
    fi
    ok "$name: vantrel-host.exe exited 0"

    local messages
    if ! messages=$(python3 "$here/log_lines.py" "$dir/win/VantrelLog.txt" 2>&1); then
        bad "$name: VantrelLog.txt" "$messages"
        return
    fi
    ok "$name: VantrelLog.txt holds $(printf '%s\n' "$messages" | wc -l) lines, each ending in CR LF"

    local reference="" against=""
    if [ -n "$linux_host" ]; then
        if ! "$linux_host" --workdir "$dir/linux" "$filtered" >"$dir.linux.out" 2>"$dir.linux.err"; then
            bad "$name: the Linux run ($linux_host) failed" "$(tail -n 20 "$dir.linux.err")"
            return
        fi
        reference=$(cut -c23- "$dir/linux/VantrelLog.txt")
        against="the Linux build's"
    elif [ -n "$expected" ]; then
        reference=$(cat "$expected")
        against="$expected's"
    else
        echo "           ($name: log not compared: no Linux build of vantrel-host found)"
        return
    fi
    if [ "$messages" = "$reference" ]; then
        ok "$name: log messages match $against"
    else
        bad "$name: log messages differ from $against (< expected, > Windows)" \
            "$(diff <(printf '%s\n' "$reference") <(printf '%s\n' "$messages"))"
    fi

    # The command output (overlay frames, console values) must match too; only the lines
    # naming the plug-in's path differ by platform.
    if [ -n "$compare_output" ] && [ -n "$linux_host" ]; then
        local differences
        differences=$(diff <(grep -v 'plugins/Vantrel' "$dir.linux.out") \
            <(tr -d '\r' <"$dir.win.out" | grep -v 'plugins\\Vantrel'))
        if [ -z "$differences" ]; then
            ok "$name: command output matches the Linux build's"
        else
            bad "$name: command output differs from the Linux build's (< Linux, > Windows)" "$differences"
        fi
    fi
}

if [ -n "$linux_host" ]; then
    echo "           (comparing with $linux_host)"
fi
session session "$here/session.vsh" "$here/session.expected" compare-output
if [ -f examples/first-session.vsh ]; then
    session first-session examples/first-session.vsh
else
    echo "           (first-session: not run: examples/first-session.vsh is not there)"
fi

# Modules the host must refuse, each with exit status 2 and the reason on standard error
# (error numbers rather than texts, which depend on the system's language).
refused() {
    local name=$1 module=$2 reason=$3 status=0
    timeout 120 wine "$exe" --workdir "$root/$sessions/refused" --plugin "$module" - </dev/null \
        >/dev/null 2>"$root/$sessions/refused.err" || status=$?
    if [ $status -eq 2 ] && grep -qF -- "$reason" "$root/$sessions/refused.err"; then
        ok "refused: $name"
    else
        bad "refused: $name (status $status, expected 2 and \"$reason\")" "$(cat "$root/$sessions/refused.err")"
    fi
}
echo "not a module" >"$sessions/NotAModule.dll"
refused "a file that is no DLL" "$sessions/NotAModule.dll" "(error 193)"
# The plug-in with its import of the SDK DLL renamed to a DLL that exists nowhere.
python3 - "$dll" "$sessions/MissingImport.dll" "$(basename "$sdk")" <<'PY'
import sys
data = open(sys.argv[1], "rb").read()
name = sys.argv[3].encode()
open(sys.argv[2], "wb").write(data.replace(name, name[:-5] + b"X.dll"))
PY
refused "a DLL whose import is missing" "$sessions/MissingImport.dll" \
    "(error 126); a DLL that the module depends on was not found"
refused "a DLL without a plug-in record" "$sdk" "exports no plug-in record"

# --- vantrel-report.exe under Wine ------------------------------------------------------
echo "windows: vantrel-report.exe under Wine"
report_exe=$build/vantrel-report.exe
linux_report=${VANTREL_LINUX_REPORT:-}
if [ -z "$linux_report" ] && [ -n "$linux_host" ] && [ -x "$(dirname "$linux_host")/vantrel-report" ]; then
    linux_report=$(dirname "$linux_host")/vantrel-report
fi
reports=$sessions/report
mkdir -p "$reports"
# report NAME [EXE LABEL]: runs both builds in $reports on the CR LF log NAME.txt (a
# relative path, so that the page names the same file) and compares what they print and
# write. EXE is the Windows program to run (default: the build's), LABEL names its files.
report() {
    local name=$1 exe=${2:-$root/$report_exe} label=${3:-win} status=0
    local title="report $name" win=$name.$label
    [ "$label" != win ] && title="report $name ($label)"
    (cd "$reports" && timeout 120 wine "$exe" "$name.txt" --csv "$win.csv" \
        --html "$win.html" </dev/null >"$win.out" 2>"$win.err") || status=$?
    if [ $status -ne 0 ]; then
        bad "$title: vantrel-report.exe exited with status $status" "$(tail -n 20 "$reports/$win.err")"
        return
    fi
    ok "$title: vantrel-report.exe exited 0 on a CR LF log"
    if [ -z "$linux_report" ]; then
        echo "           ($title: not compared: no Linux build of vantrel-report found)"
        return
    fi
    if ! (cd "$reports" && NO_COLOR=1 "$root/$linux_report" "$name.txt" --csv "$name.linux.csv" \
        --html "$name.linux.html" >"$name.linux.out" 2>"$name.linux.err"); then
        bad "$title: the Linux run ($linux_report) failed" "$(tail -n 20 "$reports/$name.linux.err")"
        return
    fi
    local what differences=""
    for what in out csv html; do
        local d
        d=$(diff <(tr -d '\r' <"$reports/$name.linux.$what") <(tr -d '\r' <"$reports/$win.$what") | head -n 20)
        [ -n "$d" ] && differences+="$what:"$'\n'"$d"$'\n'
    done
    if [ -z "$differences" ]; then
        ok "$title: terminal report, CSV and page match the Linux build's"
    else
        bad "$title: output differs from the Linux build's (< Linux, > Windows)" "$differences"
    fi
}
if [ ! -f "$report_exe" ]; then
    bad "$report_exe was not built"
else
    if [ -f "$sessions/session/win/VantrelLog.txt" ]; then
        cp "$sessions/session/win/VantrelLog.txt" "$reports/session.txt"
        report session
    fi
    if [ -n "$linux_host" ]; then
        if "$linux_host" --clock 2026-11-30T19:00 --workdir "$reports/week" examples/week.vsh >/dev/null 2>&1; then
            sed 's/$/\r/' "$reports/week/VantrelLog.txt" >"$reports/week.txt"
            report week
        else
            bad "the Linux host could not play examples/week.vsh"
        fi
    fi
fi

# --- vantrel-report.exe --serve under Wine ---------------------------------------------
echo "windows: vantrel-report.exe --serve under Wine"
python=/usr/bin/python3
[ -x "$python" ] || python=python3
if [ -f "$report_exe" ]; then
    if [ -n "$linux_report" ] && [ -f "$reports/week.txt" ]; then
        if said=$(timeout 300 "$python" "$here/serve_check.py" equal "$root/$reports/week.txt" "$root/$linux_report" \
            "$root/$report_exe" 2>&1); then
            ok "serve: /api/history.json of the week: $said"
        else
            bad "serve: /api/history.json differs from the Linux build's" "$said"
        fi
    fi
    if said=$(timeout 300 "$python" "$here/serve_check.py" follow "$root/$exe" "$root/$report_exe" \
        "$root/$sessions/serve" 2>&1); then
        ok "serve: $said"
    else
        bad "serve: vantrel-report.exe following vantrel-host.exe's log" "$said"
    fi
fi

# --- the unpacked archive under Wine ------------------------------------------------------
# vantrel-report.exe as a player runs it: from the folder the archive was unpacked into,
# with nothing of the build beside it, and from a pipe (so it must not wait for Enter).
echo "windows: the unpacked archive under Wine"
packaged=$unpacked/vantrel-report.exe
if [ -z "$unpacked" ] || [ ! -f "$packaged" ]; then
    skip "the unpacked archive: it was not made"
else
    printed=$(timeout 60 wine "$packaged" --version </dev/null 2>&1 | tr -d '\r')
    if [ "$printed" = "vantrel-report $version" ] && [ "$version" = "$resource_version" ]; then
        ok "--version prints $version, as the version resource says"
    else
        bad "--version against the version resource ($resource_version)" "$printed"
    fi

    # No log in the folder it was started in (a double-click beside no log).
    status=0
    (cd "$unpacked" && timeout 60 wine "$packaged" </dev/null >"$root/$sessions/nolog.out" \
        2>"$root/$sessions/nolog.err") || status=$?
    message=$(tr -d '\r' <"$sessions/nolog.err")
    if [ $status -eq 2 ] && grep -qF "no VantrelLog.txt in $(windows_path "$unpacked")" <<<"$message" &&
            grep -qF "drop the log file onto vantrel-report.exe" <<<"$message"; then
        ok "no log in the folder: exit 2, says where it looked and how to name one"
    else
        bad "no log in the folder (status $status, expected 2 and the folder's name)" "$message"
    fi

    log_name=""
    for candidate in week session; do
        [ -f "$reports/$candidate.linux.out" ] && { log_name=$candidate; break; }
    done
    if [ -z "$log_name" ]; then
        skip "the unpacked vantrel-report.exe on a log: no Linux report to compare with"
    else
        report "$log_name" "$packaged" unpacked
        # A log dropped onto the exe: its full Windows path is the only argument. The folder
        # is named with letters outside any one code page, as a player's folder may be.
        drop_folder="$root/$reports/Łukasz Жуков"
        mkdir -p "$drop_folder"
        cp "$reports/$log_name.txt" "$drop_folder/VantrelLog.txt"
        status=0
        (cd "$unpacked" && timeout 120 wine "$packaged" "$(windows_path "$drop_folder/VantrelLog.txt")" \
            </dev/null >"$root/$reports/$log_name.dropped.out" 2>"$root/$reports/$log_name.dropped.err") || status=$?
        differences=$(diff <(tr -d '\r' <"$reports/$log_name.linux.out") <(tr -d '\r' <"$reports/$log_name.dropped.out"))
        if [ $status -ne 0 ]; then
            bad "report $log_name dropped onto the exe: exit status $status" "$(tail -n 20 "$reports/$log_name.dropped.err")"
        elif [ -n "$differences" ]; then
            bad "report $log_name dropped onto the exe: output differs from the Linux build's (< Linux, > Windows)" \
                "$(head -n 20 <<<"$differences")"
        else
            ok "report $log_name dropped onto the exe (a folder named outside the code page): the Linux build's report, no wait for Enter from a pipe"
        fi
    fi

    # Started with a console of its own, as from Explorer (under Wine: on a terminal): the
    # report, then "press Enter to close"; it waits, and Enter ends it.
    if [ -n "$log_name" ]; then
        if held=$(cd "$reports" && python3 "$root/$here/console_hold.py" wine "$packaged" "$log_name.txt" 2>&1); then
            ok "with a console of its own: \"press Enter to close\", waits, and Enter ends it"
        else
            bad "with a console of its own" "$held"
        fi
    fi

    # --serve from the unpacked folder answers /api/history.json.
    if ! timeout 60 wine "$packaged" --help </dev/null 2>/dev/null | grep -q -- '--serve'; then
        skip "--serve from the unpacked folder: this vantrel-report.exe has no --serve yet"
    elif [ -z "$linux_report" ] || [ ! -f "$reports/week.txt" ]; then
        skip "--serve from the unpacked folder: no Linux build or week to compare with"
    elif said=$(timeout 300 "$python" "$here/serve_check.py" equal "$root/$reports/week.txt" "$root/$linux_report" \
            "$packaged" 2>&1); then
        ok "--serve from the unpacked folder: /api/history.json of the week, $said to the Linux build's"
    else
        bad "--serve from the unpacked folder: /api/history.json differs from the Linux build's" "$said"
    fi
fi

# The prefix's wineserver lingers a few seconds after the last program; wait for it so
# nothing of ours outlives the script.
timeout 30 wineserver -w 2>/dev/null || wineserver -k 2>/dev/null || true
finish
