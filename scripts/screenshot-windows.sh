#!/usr/bin/env bash
# A screenshot of the Windows program under wine and Xvfb, connected to the
# simulated kit: over USB through the D2XX stand-in, or with --serial over
# COM7, which the wine prefix maps to podlink-sim's pseudo-terminal. With
# --package the program runs from the zip of scripts/package-windows.sh,
# unzipped into a folder of its own, as a Windows user would run it. With
# --dpi N Windows' display scale is N dpi (96 is 100 %, 144 is 150 %, 192 is
# 200 %) on a screen as many times as large; with --tab N the program starts
# on tab N.
# Usage: scripts/screenshot-windows.sh [--serial] [--package] [--dpi N] [--tab N] [build-dir]
#        (after scripts/test-windows.sh, and scripts/package-windows.sh for --package)
set -euo pipefail
cd "$(dirname "$0")/.."
serial=no
package=no
dpi=96
tab=""
while true; do
    case "${1:-}" in
    --serial) serial=yes ;;
    --package) package=yes ;;
    --dpi) dpi=$2; shift ;;
    --tab) tab=$2; shift ;;
    *) break ;;
    esac
    shift
done
build=$(realpath "${1:-build-win}")
out="$build/screenshots"
mkdir -p "$out"
export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
work=$(mktemp -d)
sim_pid=""
stop() {
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null
    wineserver -k 2>/dev/null || true
    # The prefix's other users see Windows' default scale.
    [ "$dpi" = 96 ] || wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD \
        /d 96 /f >/dev/null 2>&1 || true
    wineserver -k 2>/dev/null || true
    rm -rf "$work"
}
trap stop EXIT

options=(--simulator)
name=window-usb
if [ "$serial" = yes ]; then
    coproc SIM { exec "$build/host/bin/podlink-sim" --baud 38400; }
    sim_pid=$SIM_PID
    read -r pty <&"${SIM[0]}"
    cat <&"${SIM[0]}" >/dev/null &
    wine reg add 'HKLM\Software\Wine\Ports' /v COM7 /t REG_SZ /d "$pty" /f >/dev/null
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    export RERODADA_SERIAL_PORTS=COM7 RERODADA_D2XX_LIBRARY=missing-d2xx.dll
    options=()
    name=window-serial
fi
program="$build/bin/rar4120e-evkit.exe"
start_in="$work"
if [ "$package" = yes ]; then
    zip=$(ls "$build"/package/rar4120e-evkit-*-windows-i686.zip)
    unzip -q "$zip" -d "$work"
    program=$(ls "$work"/*/rar4120e-evkit.exe)
    start_in=$(dirname "$program")
    name=$name-package
fi
# The splash flag lives in the registry on Windows.
wine reg add 'HKCU\Software\Corvelle\RAR4120E' /v ShowSplash /t REG_SZ /d false /f >/dev/null
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null
[ -n "$tab" ] && options+=(--tab "$tab") && name=$name-tab$tab
[ "$dpi" = 96 ] || name=$name-dpi$dpi
screen=$((1400 * dpi / 96))x$((900 * dpi / 96))
# wine's desktop process starts with the wineserver and must see the virtual screen.
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
cd "$start_in"
xvfb-run -a -s "-screen 0 ${screen}x24" bash -c '
    wine "$1" "${@:3}" &
    pid=$!
    sleep 30
    import -window root "$2"
    kill "$pid"
    wait "$pid" 2>/dev/null || true
' _ "$program" "$out/$name.png" "${options[@]}"
echo "$out/$name.png"
