#!/usr/bin/env bash
# Builds Qt 5 for Windows (i686, mingw-w64) from Debian's own qtbase source
# package: Core, Gui, Widgets, Test, the windows and offscreen platform
# plugins and the Windows style plugin, with the host tools (qmake, moc, rcc,
# uic) for this machine. Installs into a cache keyed by version and configure
# flags and prints the cache's path as the last line; a cached build is reused
# as it is, and one made before the style plugin was added gets only the
# plugin, built in the build tree kept beside it.
# Usage: scripts/build-qt-windows.sh   (QT_WIN_CACHE overrides /var/cache/rar4120e)
set -euo pipefail
cd "$(dirname "$0")/.."

cache_root="${QT_WIN_CACHE:-/var/cache/rar4120e}"
version=5.15.8
triplet=i686-w64-mingw32
flags=(-xplatform win32-g++ -device-option CROSS_COMPILE=${triplet}- -shared -release
       -opensource -confirm-license -no-opengl -no-dbus -no-icu -no-feature-tabletevent
       -qt-zlib -qt-libpng -qt-libjpeg -qt-pcre -qt-harfbuzz -qt-freetype
       -no-sql-sqlite -no-sql-odbc -nomake examples -nomake tests)
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
apt_get() { DEBIAN_FRONTEND=noninteractive $SUDO apt-get -o DPkg::Lock::Timeout=600 "$@"; }

scripts/install-deps.sh g++-mingw-w64-i686-posix dpkg-dev build-essential perl python3

hash=$(printf '%s\n' "$version" "${flags[@]}" "$(${triplet}-g++-posix -dumpversion 2>/dev/null)" \
       | sha256sum | cut -c1-12)
prefix="$cache_root/qt-$version-$triplet-$hash"
style_plugin="$prefix/plugins/styles/qwindowsvistastyle.dll"
if [ -f "$prefix/.complete" ] && [ -f "$style_plugin" ]; then
    echo "$prefix"
    exit 0
fi

# The source package comes from Debian's own archive, through a deb-src list of our own.
src_list=/etc/apt/sources.list.d/rar4120e-src.sources
if [ ! -f "$src_list" ]; then
    $SUDO tee "$src_list" >/dev/null <<'LIST'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
LIST
    apt_get update -qq
fi

work="$cache_root/work-$hash"
$SUDO mkdir -p "$work"
[ "$(id -u)" -ne 0 ] && $SUDO chown "$(id -u)" "$cache_root" "$work"
cd "$work"
srcdir=$(find . -maxdepth 1 -type d -name "qtbase-opensource-src-$version*" | head -n1)
if [ -z "$srcdir" ]; then
    apt-get source -qq --only-source "qtbase-opensource-src=$version*" ||
        apt-get source -qq --only-source qtbase-opensource-src
    srcdir=$(find . -maxdepth 1 -type d -name "qtbase-opensource-src-*" | head -n1)
fi
srcdir=$(cd "$srcdir" && pwd)

# The mingw-w64 g++ flavour with std::thread and std::mutex.
mkdir -p "$work/bin"
for t in g++ gcc c++; do
    ln -sf "$(command -v ${triplet}-$t-posix || command -v ${triplet}-g++-posix)" "$work/bin/${triplet}-$t"
done
export PATH="$work/bin:$PATH"

build="$work/build"
mkdir -p "$build"
cd "$build"
[ -f config.status ] || "$srcdir/configure" -prefix "$prefix" "${flags[@]}"
jobs="${QT_WIN_JOBS:-2}"
# The Makefiles of every module, then only the modules the project needs.
[ -f src/corelib/Makefile ] || make sub-src-qmake_all
make -j"$jobs" -C src sub-moc sub-rcc sub-uic sub-corelib sub-gui sub-widgets sub-testlib \
    sub-platformsupport sub-winmain
for p in platforms/windows platforms/offscreen styles/windowsvista; do
    make -j"$jobs" -C "src/plugins/$p"
done
# A complete cache is in use by other builds: it only gains the plugin.
if [ ! -f "$prefix/.complete" ]; then
    make -C . sub-qmake-qmake-aux-pro-install_subtargets install_mkspecs
    for d in src/tools/bootstrap src/tools/moc src/tools/rcc src/tools/uic src/winmain src/corelib \
             src/gui src/widgets src/testlib src/platformsupport src/plugins/platforms/windows \
             src/plugins/platforms/offscreen; do
        make -C "$d" install
    done
fi
make -C src/plugins/styles/windowsvista install
touch "$prefix/.complete"
echo "$prefix"
