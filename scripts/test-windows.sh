#!/usr/bin/env bash
# Cross-builds the project for 32-bit Windows (mingw-w64) into build-win/ and
# runs the whole test suite under wine. Installs what is missing, builds Qt
# for Windows when it is not cached (scripts/build-qt-windows.sh) and
# GoogleTest for Windows from Debian's sources.
# Usage: scripts/test-windows.sh [--without-qt] [build-dir] [ctest arguments...]
#   --without-qt  leaves out the program and everything else that needs Qt
#                 (the library, the simulator and their tests only).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
gui=ON
if [ "${1:-}" = --without-qt ]; then
    gui=OFF
    shift
fi
build="${1:-build-win}"
shift || true
started=$(date +%s)

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
apt_get() { DEBIAN_FRONTEND=noninteractive $SUDO apt-get -o DPkg::Lock::Timeout=600 "$@"; }

# wine runs 32-bit programs with its i386 half.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
    apt_get update -qq
fi
scripts/install-deps.sh g++-mingw-w64-i686-posix wine wine32:i386 googletest cmake ninja-build \
    ccache xvfb xauth zip imagemagick

qt=""
[ "$gui" = ON ] && qt=$(scripts/build-qt-windows.sh | tail -n1)

# GoogleTest for Windows, built once per machine from the packaged sources.
cache_root="${QT_WIN_CACHE:-/var/cache/rar4120e}"
gtest_version=$(dpkg-query -W -f='${Version}' googletest)
gtest="$cache_root/googletest-$gtest_version-i686-w64-mingw32"
if [ ! -f "$gtest/.complete" ]; then
    $SUDO mkdir -p "$cache_root"
    [ "$(id -u)" -ne 0 ] && $SUDO chown "$(id -u)" "$cache_root"
    rm -rf "$gtest.build"
    cmake -S /usr/src/googletest -B "$gtest.build" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-i686.cmake" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$gtest" -Dgtest_disable_pthreads=OFF >/dev/null
    nice cmake --build "$gtest.build" -j2
    cmake --install "$gtest.build" >/dev/null
    rm -rf "$gtest.build"
    touch "$gtest/.complete"
fi

# The simulated board for the serial path: podlink-sim of this machine on a
# pseudo-terminal, which the wine prefix maps to this COM port.
sim_port=COM7
cmake -S . -B "$build/host" -G Ninja -DRERODADA_BUILD_GUI=OFF -DRERODADA_BUILD_TESTS=OFF >/dev/null
nice cmake --build "$build/host" -j2 --target podlink-sim

# Without debug information mingw-w64 compiles about a third faster, and the
# package is stripped anyway. ccache finds objects of other clones too.
export CCACHE_BASEDIR="$root"
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-i686.cmake" \
    -DCMAKE_PREFIX_PATH="$qt;$gtest" -DRERODADA_BUILD_GUI="$gui" \
    -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O2 -DNDEBUG" -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -DNDEBUG" \
    -DRERODADA_WINE_SIM_PORT="$sim_port" >/dev/null
nice cmake --build "$build" -j2
if [ "$gui" = ON ]; then
    # The program is a windowed program with a manifest (resource type 24),
    # the runner a console program.
    evkit_pe=$(i686-w64-mingw32-objdump -p "$build/bin/rar4120e-evkit.exe")
    cli_pe=$(i686-w64-mingw32-objdump -p "$build/bin/rar4120e-cli.exe")
    grep -q 'Subsystem.*(Windows GUI)' <<<"$evkit_pe" &&
        grep -Eq '^[0-9a-f]+   Entry: ID: 0x000018,' <<<"$evkit_pe" &&
        grep -q 'Subsystem.*(Windows CUI)' <<<"$cli_pe" || {
        echo "rar4120e-evkit.exe is to be a windowed program with a manifest," \
             "rar4120e-cli.exe a console program" >&2
        exit 1
    }
fi

# A prefix of the build's own. The wineserver starts before ctest, so that it
# does not inherit ctest's output pipe; it and the simulator stop at the end.
export WINEPREFIX="$(realpath "$build")/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineserver -k 2>/dev/null || true
sim_pid=""
stop() {
    [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null
    wineserver -k 2>/dev/null || true
}
trap stop EXIT
coproc SIM { exec "$build/host/bin/podlink-sim" --baud 38400; }
sim_pid=$SIM_PID
read -r pty <&"${SIM[0]}"
# Whatever else it prints must not fill the pipe and stall it.
cat <&"${SIM[0]}" >/dev/null &
wine reg add 'HKLM\Software\Wine\Ports' /v "$sim_port" /t REG_SZ /d "$pty" /f >/dev/null
# The port map is read when the wineserver starts.
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
wineserver -p >/dev/null 2>&1
wine cmd /c exit
# wine's desktop process starts before ctest too (see tests/support/windows/DesktopKeeper.cpp).
ready="$(realpath "$build")/desktop-ready"
rm -f "$ready"
wine "$build/bin/desktop-keeper.exe" "Z:$ready" </dev/null >/dev/null 2>&1 &
for _ in $(seq 600); do [ -f "$ready" ] && break; sleep 0.1; done
[ -f "$ready" ] || { echo "wine's desktop did not start" >&2; exit 1; }
ctest --test-dir "$build" -j2 --output-on-failure --label-exclude posix-only "$@"
# B10: waits and sleeps per transaction; fails on a sleep shorter than a reply's line time.
[ -f "$build/bin/bench_waits.exe" ] && wine "$build/bin/bench_waits.exe" --serial "$sim_port"

# The package, unzipped as a user would into a folder whose name no ANSI code
# page holds, finds the simulated kit: the runner, and the window with a
# configuration and a script from that folder, on Xvfb's screen.
if [ "$gui" = ON ]; then
    zip=$(scripts/package-windows.sh "$build" | tail -n1)
    folder="$WINEPREFIX/drive_c/Prüfstand Δοκιμή 試験"
    app="$folder/$(basename "$zip" .zip)"
    rm -rf "$folder"
    mkdir -p "$folder"
    unzip -q "$zip" -d "$folder"
    printf 'device = 0x50\n' >"$app/kit.conf"
    printf 'readbyte 50 00\n' >"$app/check.scr"
    export LC_ALL=C.UTF-8
    cli=$(cd "$app" && timeout 120 wine rar4120e-cli.exe --simulator -c "readbyte 2A 00") || true
    [ "$(tr -d '\r' <<<"$cli")" = $'\t12' ] ||
        { echo "rar4120e-cli.exe in $app did not read DEV_ID 0x12: $cli" >&2; exit 1; }
    # wine's desktop process starts again, on Xvfb's screen.
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
    windows=$(winepath -w "$app")
    window=$(cd "$app" && timeout 120 xvfb-run -a -s "-screen 0 1400x900x24" wine rar4120e-evkit.exe \
        --simulator --simulator-config "$windows\kit.conf" --run-script "$windows\check.scr" \
        --quit-after --trace 2>&1) || true
    grep -q "reply ok=1 command=readbyte 50 00" <<<"$window" ||
        { echo "rar4120e-evkit.exe in $app did not run its script on the simulated kit:" \
               "$window" >&2; exit 1; }
    echo "The package runs in $folder"
fi
echo "Windows build and tests took $(($(date +%s) - started)) s"
