#!/usr/bin/env bash
# Screenshots of the program under Xvfb: the main window on each of its four
# tabs, the splash and the About box on the simulated kit, the console after
# help, the Log after a minute of hidden auto-read; the window during
# a board search over a silent pseudo-terminal and while a script runs; the
# demo-mode question and an error message (a faulty simulator configuration).
# Usage: scripts/screenshot-window.sh [BUILD_DIR] [WIDTHxHEIGHT] [FONT]
# (defaults: build, 1400x900, whatever fontconfig gives for the style
# sheet's Arial); FONT names an installed family that stands in for Arial,
# as on a system without Liberation Sans. The files are named after the
# screen size and the font.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
screen="${2:-1400x900}"
font="${3:-}"
tag=$screen
out="$build/screenshots"
program="$build/bin/rar4120e-evkit"
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [ -n "$font" ]; then
    fc-list -q "$font" || { echo "font not installed: $font" >&2; exit 1; }
    cat >"$work/fonts.conf" <<EOF
<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "fonts.dtd">
<fontconfig>
  <include ignore_missing="yes">/etc/fonts/fonts.conf</include>
  <match target="pattern">
    <test name="family"><string>Arial</string></test>
    <edit name="family" mode="assign" binding="strong"><string>$font</string></edit>
  </match>
</fontconfig>
EOF
    export FONTCONFIG_FILE="$work/fonts.conf"
    tag="$screen-${font// /}"
fi

# shot NAME DELAY_S [PROGRAM OPTIONS...]: starts the program in a fresh
# virtual screen, waits, grabs the whole screen and ends the program. The
# program runs on the simulated kit unless NO_KIT is set, and then finds
# only a pseudo-terminal that never answers.
shot() {
    local name=$1 delay=$2
    shift 2
    xvfb-run -a -s "-screen 0 ${screen}x24" bash -c '
        cd "$1"; shift
        out=$1 name=$2 delay=$3 program=$4; shift 4
        if [ -n "${NO_KIT:-}" ]; then
            exec 3< <(python3 -c "import os, pty, sys, time
m, s = pty.openpty()
print(os.ttyname(s), flush=True)
time.sleep(600)")
            read -r port <&3
            RERODADA_SERIAL_PORTS="$port" RERODADA_D2XX_LIBRARY=/nonexistent "$program" "$@" &
        else
            "$program" --simulator "$@" &
        fi
        pid=$!
        sleep "$delay"
        import -window root "$out/$name.png"
        kill "$pid"
        wait "$pid" 2>/dev/null || true
    ' _ "$work" "$out" "$name-$tag" "$delay" "$program" "$@"
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
NO_KIT=1 shot search 2
NO_KIT=1 shot demo-question 28
printf 'statusmsga "Script running"\nreadbyte 2A 00\nwait 200\nreadbyte 2A 01\nwait 60000\n' \
    >"$work/long.scr"
shot script 4 --tab 2 --run-script "$work/long.scr"
printf 'help\n' >"$work/help.scr"
shot console-help 4 --tab 2 --run-script "$work/help.scr"
# A minute of auto-read with its rows hidden: the user's own rows stay.
printf '[Application]\nhideAutoRead=true\n' >"$work/RAR4120E.ini"
printf 'autoread 1\nwritebyte 2A 05 40\nreadbyte 2A 05\nwritegpio 3 1\n' >"$work/user.scr"
shot log-hide-auto-read 62 --tab 3 --run-script "$work/user.scr"
rm "$work/RAR4120E.ini"
printf '# a configuration with a fault on line 2\nno.such.key = 1\n' >"$work/bad.conf"
shot error-message 4 --simulator-config "$work/bad.conf"
echo "screenshots in $out"
