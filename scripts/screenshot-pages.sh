#!/bin/sh
# Renders both register pages at their form size, with the style sheet, after
# a read from the simulated board, into BUILD/screenshots/page1.png and
# page2.png. Builds nothing: build the pageshot target first.
#   scripts/screenshot-pages.sh [BUILD_DIRECTORY]   (default: build)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
out="$build/screenshots"
mkdir -p "$out"
RERODADA_SERIAL_PORTS= RERODADA_USB_TTYS= \
RERODADA_D2XX_LIBRARY="$build/lib/libpodlink-d2xx.so" \
PODLINK_SIM_CONFIG= \
    xvfb-run -a -s "-screen 0 1280x1024x24" "$build/bin/pageshot" "$out"
echo "$out/page1.png"
echo "$out/page2.png"
