#!/usr/bin/env bash
# Installs the Windows Setup silently into a clean wine prefix of its own and
# checks what an engineer gets: the files, the Apps & Features entry, the
# Start-menu entry, the program started as that entry starts it (settings in
# the per-user folder, help file found), an update in place, and an
# uninstaller that removes what Setup installed and nothing of the user's.
# Usage: scripts/test-package-windows.sh [build-dir]   (after scripts/test-windows.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
# The program is a windowed one: everything runs on one X display.
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1280x800x24" "$0" "$@"
fi
build="${1:-build-win}"
version=$(sed -n 's/^project(rar4120e_evkit VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
product="RAR4120E EV Kit"
key='Software\Microsoft\Windows\CurrentVersion\Uninstall\Corvelle RAR4120E EV Kit'
start_in_arg='--start-in "%LOCALAPPDATA%\Corvelle\RAR4120E"'

failures=0
pass() { echo "PASS: $*"; }
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}
check() { # description, command...
    local what=$1
    shift
    if "$@"; then pass "$what"; else fail "$what"; fi
}

setup=$(scripts/package-windows.sh "$build" | grep -- '-setup\.exe$')
stage="$build/package/rar4120e-evkit-$version-windows-i686"
echo "Setup: $setup ($(stat -c %s "$setup") bytes)"

WINEPREFIX="$(realpath "$build")/wineprefix-setup"
export WINEPREFIX WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8
stop() { wineserver -k 2>/dev/null || true; }
trap stop EXIT
stop
rm -rf "$WINEPREFIX"
timeout 300 wineboot -i >/dev/null 2>&1
c="$WINEPREFIX/drive_c"

unix() { winepath -u "$1" 2>/dev/null; }
# A value of the uninstall entry under HKLM or HKCU, empty when missing.
reg_value() {
    wine reg query "$1\\$key" /v "$2" 2>/dev/null | tr -d '\r' |
        sed -n "s/^ *$2 *REG_[A-Z_]* *//p"
}
# Working folder, arguments and target of a shell link, one a line.
read_link() {
    python3 - "$1" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
flags = struct.unpack_from("<I", data, 20)[0]
pos = 76
if flags & 1:
    pos += 2 + struct.unpack_from("<H", data, pos)[0]
target = ""
if flags & 2:
    size, header = struct.unpack_from("<II", data, pos)
    if header >= 0x24:
        base = pos + struct.unpack_from("<I", data, pos + 28)[0]
        end = base
        while data[end:end + 2] != b"\0\0":
            end += 2
        target = data[base:end].decode("utf-16-le")
    else:
        base = pos + struct.unpack_from("<I", data, pos + 16)[0]
        target = data[base:data.index(b"\0", base)].decode("ascii")
    pos += size
strings = {}
for bit, name in ((4, "name"), (8, "relative"), (16, "workdir"), (32, "args"), (64, "icon")):
    if flags & bit:
        count, = struct.unpack_from("<H", data, pos)
        strings[name] = data[pos + 2:pos + 2 + 2 * count].decode("utf-16-le")
        pos += 2 + 2 * count
print(strings.get("workdir", ""))
print(strings.get("args", ""))
print(target)
PY
}
same_files() { # stage folder, install folder, files of the user's there
    diff <(cd "$1" && find . -type f | LC_ALL=C sort) \
         <(cd "$2" && find . -type f ! -name uninstall.exe | grep -vxF "${3:-}" | LC_ALL=C sort) \
         >/dev/null && [ -f "$2/uninstall.exe" ]
}
# Runs the program with the Start-menu entry's arguments and more, from the
# folder given; its output in $out.
run_like_entry() {
    local from=$1
    shift
    out=$(cd "$from" && timeout 120 wine "$exe" "${entry_args[@]}" "$@" 2>&1 | tr -d '\r') || true
}

# Runs the entry's QuietUninstallString ("program" arguments). The
# uninstaller runs on from a copy in the temp folder: wait for all of wine.
quiet_uninstall() {
    local command program
    command=$(reg_value "$1" QuietUninstallString)
    program=$(sed -n 's/^"\([^"]*\)".*/\1/p' <<<"$command")
    # shellcheck disable=SC2086 # the arguments are words
    (cd "$c" && timeout 300 wine "$program" ${command#\""$program"\"}) >/dev/null 2>&1
    timeout 300 wineserver -w
}

echo "== Per-machine install (silent)"
check "Setup /S exits 0" timeout 300 wine "$setup" /S
location=$(reg_value HKLM InstallLocation)
check "uninstall entry under HKLM with InstallLocation in Program Files ($location)" \
    grep -Eqx 'C:\\Program Files( \(x86\))?\\Corvelle\\RAR4120E' <<<"$location"
dir=$(unix "$location")
check "every packaged file and the uninstaller installed" same_files "$stage" "$dir"
wine reg query "HKLM\\$key" | tr -d '\r' | sed -n 's/^    //p'
for v in "DisplayName=$product" "DisplayVersion=$version" "Publisher=Corvelle" \
         "DisplayIcon=$location\\rar4120e-evkit.exe,0" \
         "UninstallString=\"$location\\uninstall.exe\" /AllUsers" \
         "QuietUninstallString=\"$location\\uninstall.exe\" /AllUsers /S" \
         "NoModify=0x1" "NoRepair=0x1"; do
    check "entry ${v%%=*} is ${v#*=}" [ "$(reg_value HKLM "${v%%=*}")" = "${v#*=}" ]
done
size_kb=$(du -sk --apparent-size "$dir" | cut -f1)
estimated=$(($(reg_value HKLM EstimatedSize)))
check "entry EstimatedSize ($estimated KiB) is the folder's size ($size_kb KiB)" \
    [ "$estimated" -gt $((size_kb * 98 / 100)) -a "$estimated" -le "$size_kb" ]

user_appdata=$(wine cmd /c echo %LOCALAPPDATA% 2>/dev/null | tr -d '\r')
start_in="$user_appdata\\Corvelle\\RAR4120E"
link="$c/ProgramData/Microsoft/Windows/Start Menu/Programs/$product.lnk"
check "Start-menu entry for all users" [ -f "$link" ]
check_link() { # link, install folder
    mapfile -t fields < <(read_link "$1")
    check "entry targets $2\\rar4120e-evkit.exe" [ "${fields[2]:-}" = "$2\\rar4120e-evkit.exe" ]
    check "entry arguments are $start_in_arg" [ "${fields[1]:-}" = "$start_in_arg" ]
    check "entry starts in $start_in, which Setup created" \
        [ "${fields[0]:-}" = "$start_in" -a -d "$(unix "$start_in")" ]
}
check_link "$link" "$location"

echo "== The program started as the entry starts it"
exe="$location\\rar4120e-evkit.exe"
mapfile -t entry_args < <(python3 -c 'import shlex, sys; print("\n".join(shlex.split(sys.argv[1])))' \
    "${fields[1]:-}")
user_dir=$(unix "$start_in")
# Another user's folder does not exist yet: the program makes it.
rm -rf "$user_dir"
printf 'readbyte 2A 00\n' >"$c/check.scr"
run_like_entry "$dir" --simulator --run-script 'C:\check.scr' --quit-after --trace
check "script read DEV_ID 0x12 on the simulated kit" \
    grep -q "reply ok=1 command=readbyte 2A 00 text=12" <<<"$out"
check "RAR4120E.ini written in $start_in" [ -f "$user_dir/RAR4120E.ini" ]
check "no RAR4120E.ini in the install folder" [ ! -e "$dir/RAR4120E.ini" ]
run_like_entry "$c" --help-file
check "--help-file finds $location\\help.chm" [ "$out" = "$location\\help.chm" ]

echo "== Silent uninstall"
printf 'readbyte 2A 00\n' >"$user_dir/mine.scr"
quiet_uninstall HKLM
check "install folder removed" [ ! -e "$dir" ]
check "empty Corvelle folder removed" [ ! -e "$(dirname "$dir")" ]
check "uninstall entry removed" [ -z "$(reg_value HKLM InstallLocation)" ]
check "Start-menu entry removed" [ ! -e "$link" ]
check "RAR4120E.ini and the user's script kept" [ -f "$user_dir/RAR4120E.ini" -a -f "$user_dir/mine.scr" ]

echo "== Per-user install in a folder of the user's, updated in place"
# /D= takes the rest of the command line unquoted, which wine quotes if it has spaces.
own='C:\Tools\RAR4120E'
own_dir=$(unix "$own")
check "Setup /S /CurrentUser /D=$own exits 0" timeout 300 wine "$setup" /S /CurrentUser "/D=$own"
check "uninstall entry under HKCU in $own" [ "$(reg_value HKCU InstallLocation)" = "$own" ]
check "nothing under HKLM" [ -z "$(reg_value HKLM InstallLocation)" ]
user_appdata_roaming=$(wine cmd /c echo %APPDATA% 2>/dev/null | tr -d '\r')
user_link="$(unix "$user_appdata_roaming")/Microsoft/Windows/Start Menu/Programs/$product.lnk"
check "per-user Start-menu entry" [ -f "$user_link" ]
check_link "$user_link" "$own"
printf 'notes\n' >"$own_dir/notes.txt"
rm "$own_dir/help.chm"
check "Setup /S over it exits 0" timeout 300 wine "$setup" /S
check "the update replaced the files in $own" same_files "$stage" "$own_dir" ./notes.txt
check "the update left no copy in Program Files" [ ! -e "$dir" ]
quiet_uninstall HKCU
check "uninstall kept only the user's file in $own" \
    [ "$(cd "$own_dir" && find . | LC_ALL=C sort | tr '\n' ' ')" = ". ./notes.txt " ]
check "per-user uninstall entry removed" [ -z "$(reg_value HKCU InstallLocation)" ]

if [ "$failures" -ne 0 ]; then
    echo "FAILED: $failures check(s) of the Windows Setup"
    exit 1
fi
echo "PASSED: the Windows Setup installs, runs and uninstalls"
