#!/usr/bin/env bash
# A screenshot of the Windows program under wine and Xvfb, connected to the
# simulated kit: over USB through the D2XX stand-in, or with --serial over
# COM7, which the wine prefix maps to podlink-sim's pseudo-terminal. With
# --package the program runs from the zip of scripts/package-windows.sh,
# unzipped into a folder of its own, as a Windows user would run it.
# Usage: scripts/screenshot-windows.sh [--serial] [--package] [build-dir]
#        (after scripts/test-windows.sh, and scripts/package-windows.sh for --package)
set -euo pipefail
cd "$(dirname "$0")/.."
serial=no
package=no
while [ "${1:-}" = --serial ] || [ "${1:-}" = --package ]; do
    [ "$1" = --serial ] && serial=yes
    [ "$1" = --package ] && package=yes
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
# wine's desktop process starts with the wineserver and must see the virtual screen.
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
cd "$start_in"
xvfb-run -a -s "-screen 0 1400x900x24" bash -c '
    wine "$1" "${@:3}" &
    pid=$!
    sleep 30
    import -window root "$2"
    kill "$pid"
    wait "$pid" 2>/dev/null || true
' _ "$program" "$out/$name.png" "${options[@]}"
echo "$out/$name.png"
