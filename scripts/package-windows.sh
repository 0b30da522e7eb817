#!/usr/bin/env bash
# Packs the Windows build into a zip that runs on a Windows PC as unzipped:
# the program, the runner, RERODADA.dll with its import library and header,
# the D2XX stand-in for --simulator, the mingw-w64 runtime, Qt's DLLs and
# windows platform plugin, the style sheet and the help as help.chm, which
# the program opens from the folder it starts in.
# Usage: scripts/package-windows.sh [build-dir]   (after scripts/test-windows.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build-win}"
bin="$build/bin"
version=$(sed -n 's/^project(rar4120e_evkit VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name="rar4120e-evkit-$version-windows-i686"
stage="$build/package/$name"

for f in rar4120e-evkit.exe rar4120e-cli.exe RERODADA.dll podlink-d2xx.dll libpodsim.dll \
         Qt5Core.dll Qt5Gui.dll Qt5Widgets.dll platforms/qwindows.dll STYLE/stylesheet.qss; do
    [ -f "$bin/$f" ] || { echo "missing $bin/$f: run scripts/test-windows.sh first" >&2; exit 1; }
done

# Free Pascal's CHM compiler is the one Debian has.
if ! command -v chmcmd >/dev/null; then
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get -o DPkg::Lock::Timeout=600 install -y -qq \
        --no-install-recommends fp-utils-3.2.2
fi

rm -rf "$build/package"
mkdir -p "$stage/platforms" "$stage/STYLE" "$stage/sdk"
cp "$bin"/rar4120e-evkit.exe "$bin"/rar4120e-cli.exe "$bin"/RERODADA.dll \
   "$bin"/podlink-d2xx.dll "$bin"/libpodsim.dll \
   "$bin"/libstdc++-6.dll "$bin"/libgcc_s_dw2-1.dll "$bin"/libwinpthread-1.dll \
   "$bin"/Qt5Core.dll "$bin"/Qt5Gui.dll "$bin"/Qt5Widgets.dll "$stage/"
cp "$bin"/platforms/qwindows.dll "$stage/platforms/"
cp STYLE/stylesheet.qss "$stage/STYLE/"
help="$build/package/help"
mkdir -p "$help"
cp docs/help/commands.html "$help/"
cat > "$help/help.hhp" <<'PROJECT'
[OPTIONS]
Compiled file=help.chm
Default topic=commands.html
Title=RAR4120E Evaluation Kit - Command Reference
Language=0x409 English (United States)

[FILES]
commands.html
PROJECT
(cd "$help" && chmcmd --no-html-scan help.hhp >/dev/null)
cp "$help/help.chm" "$stage/"
cp QtShared/RERODADA/rerodada.h "$build"/lib/libRERODADA.dll.a "$stage/sdk/"
i686-w64-mingw32-strip "$stage"/*.exe "$stage"/*.dll "$stage"/platforms/*.dll
cat > "$stage/README.txt" <<'TEXT'
RAR4120E evaluation kit - Windows

1. USB (PODLINK board): install FTDI's D2XX driver (it puts FTD2XX.dll in
   Windows' system folder). RS-232 boards need no driver beyond the COM port's.
2. Unzip this folder anywhere and run rar4120e-evkit.exe. The settings file
   RAR4120E.ini is kept in the folder the program starts in, and Help >
   Command Reference opens help.chm from there.
3. Without hardware: rar4120e-evkit.exe --simulator (or rar4120e-cli.exe
   --simulator -c "readbyte 2A 00") uses the simulated kit in podlink-d2xx.dll.

sdk\ holds rerodada.h and the import library of RERODADA.dll (stdcall,
decorated names such as BrimBoardGetBanner@8) for programs of your own.
TEXT
sed -i 's/$/\r/' "$stage/README.txt"
(cd "$build/package" && rm -f "$name.zip" && zip -qr9 "$name.zip" "$name")
echo "$build/package/$name.zip"
