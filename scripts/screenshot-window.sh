#!/usr/bin/env bash
# Screenshots of the program on the simulated kit under Xvfb: the main window
# on each of its four tabs, the splash and the About box.
# Usage: scripts/screenshot-window.sh [BUILD_DIR] (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
out="$build/screenshots"
program="$build/bin/rar4120e-evkit"
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# shot NAME DELAY_S [PROGRAM OPTIONS...]: starts the program in a fresh
# virtual screen, waits, grabs the whole screen and ends the program.
shot() {
    local name=$1 delay=$2
    shift 2
    xvfb-run -a -s "-screen 0 1400x900x24" bash -c '
        cd "$1"; shift
        out=$1 name=$2 delay=$3 program=$4; shift 4
        "$program" --simulator "$@" &
        pid=$!
        sleep "$delay"
        import -window root "$out/$name.png"
        kill "$pid"
        wait "$pid" 2>/dev/null || true
    ' _ "$work" "$out" "$name" "$delay" "$program" "$@"
}

export HOME="$work" XDG_CONFIG_HOME="$work/config"
# First run: no ShowSplash stored, so the splash shows.
shot splash 1
mkdir -p "$work/config/Corvelle"
printf '[General]\nShowSplash=FALSE\n' >"$work/config/Corvelle/RAR4120E.conf"
names=(page1 page2 debug log)
for tab in 0 1 2 3; do
    shot "tab${tab}-${names[$tab]}" 4 --tab "$tab"
done
shot about 4 --about
echo "screenshots in $out"
