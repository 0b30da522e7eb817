#!/usr/bin/env bash
# Packs the Windows build into a zip that runs on a Windows PC as unzipped:
# the program, the runner, RERODADA.dll with its header, import library and
# .def, the D2XX stand-in for --simulator, the mingw-w64 runtime, Qt's DLLs,
# windows platform plugin and Windows style, the licences of what others
# wrote, the style sheet and the help as help.chm, which the program opens
# from the folder it starts in. The same files also go into a Setup program
# (packaging/windows/rar4120e-evkit.nsi) with a Start-menu entry and an
# uninstaller.
# Usage: scripts/package-windows.sh [build-dir]   (after scripts/test-windows.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build-win}"
bin="$build/bin"
version=$(sed -n 's/^project(rar4120e_evkit VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name="rar4120e-evkit-$version-windows-i686"
stage="$build/package/$name"

for f in help/commands.html rar4120e-evkit.exe rar4120e-cli.exe RERODADA.dll podlink-d2xx.dll libpodsim.dll \
         Qt5Core.dll Qt5Gui.dll Qt5Widgets.dll platforms/qwindows.dll styles/qwindowsvistastyle.dll \
         STYLE/stylesheet.qss; do
    [ -f "$bin/$f" ] || { echo "missing $bin/$f: run scripts/test-windows.sh first" >&2; exit 1; }
done
# The licences as Debian installs them: Qt is LGPL-3, which builds on GPL-3;
# the GCC runtime is GPL-3 with the GCC Runtime Library Exception; winpthreads
# is mingw-w64's.
licenses=(/usr/share/common-licenses/LGPL-3 /usr/share/common-licenses/GPL-3
          /usr/share/doc/gcc-mingw-w64-i686-posix-runtime/copyright
          /usr/share/doc/mingw-w64-i686-dev/copyright)
for f in "${licenses[@]}"; do
    [ -f "$f" ] || { echo "missing the licence text $f" >&2; exit 1; }
done
grep -q "GCC RUNTIME LIBRARY EXCEPTION" "${licenses[2]}" ||
    { echo "${licenses[2]} lacks the GCC Runtime Library Exception" >&2; exit 1; }

# Free Pascal's CHM compiler is the one Debian has; NSIS builds the Setup,
# ImageMagick its side picture.
missing=()
command -v chmcmd >/dev/null || missing+=(fp-utils-3.2.2)
command -v makensis >/dev/null || missing+=(nsis)
command -v convert >/dev/null || missing+=(imagemagick)
if [ ${#missing[@]} -gt 0 ]; then
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get -o DPkg::Lock::Timeout=600 install -y -qq \
        --no-install-recommends "${missing[@]}"
fi

rm -rf "$build/package"
mkdir -p "$stage/platforms" "$stage/styles" "$stage/STYLE" "$stage/sdk" "$stage/licenses"
cp "$bin"/rar4120e-evkit.exe "$bin"/rar4120e-cli.exe "$bin"/RERODADA.dll \
   "$bin"/podlink-d2xx.dll "$bin"/libpodsim.dll \
   "$bin"/libstdc++-6.dll "$bin"/libgcc_s_dw2-1.dll "$bin"/libwinpthread-1.dll \
   "$bin"/Qt5Core.dll "$bin"/Qt5Gui.dll "$bin"/Qt5Widgets.dll "$stage/"
cp "$bin"/platforms/qwindows.dll "$stage/platforms/"
cp "$bin"/styles/qwindowsvistastyle.dll "$stage/styles/"
cp STYLE/stylesheet.qss "$stage/STYLE/"
help="$build/package/help"
mkdir -p "$help"
cp "$bin/help/commands.html" "$help/"
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
# The .def for other toolchains, from the DLL's own export table.
{
    echo "LIBRARY RERODADA.dll"
    echo "EXPORTS"
    i686-w64-mingw32-objdump -p "$bin/RERODADA.dll" |
        sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/s/^\s*\[ *[0-9]*\] \(.*\)/    \1/p'
} > "$stage/sdk/RERODADA.def"
grep -qx "    BrimBoardConnect@0" "$stage/sdk/RERODADA.def" ||
    { echo "RERODADA.def lacks BrimBoardConnect@0" >&2; exit 1; }
cp "${licenses[0]}" "$stage/licenses/LGPL-3.txt"
cp "${licenses[1]}" "$stage/licenses/GPL-3.txt"
cp "${licenses[2]}" "$stage/licenses/gcc-runtime-copyright.txt"
cp "${licenses[3]}" "$stage/licenses/mingw-w64-copyright.txt"
cat > "$stage/licenses/README.txt" <<'TEXT'
Licences of the parts of this package that others wrote

Qt5Core.dll, Qt5Gui.dll, Qt5Widgets.dll, platforms\qwindows.dll,
styles\qwindowsvistastyle.dll
    Qt 5.15 of The Qt Company, under the GNU Lesser General Public License
    version 3 (LGPL-3.txt), which builds on the GNU General Public License
    version 3 (GPL-3.txt). They are built unchanged from Debian 12's
    qtbase-opensource-src source package; a Qt 5.15 of your own build can
    take their place.

libgcc_s_dw2-1.dll, libstdc++-6.dll
    The GCC runtime libraries, under GPL-3.txt with the GCC Runtime Library
    Exception, as gcc-runtime-copyright.txt sets out.

libwinpthread-1.dll
    winpthreads of the mingw-w64 project, under the licences that
    mingw-w64-copyright.txt names for mingw-w64-libraries/winpthreads
    (mainly the MIT licence).
TEXT
i686-w64-mingw32-strip "$stage"/*.exe "$stage"/*.dll "$stage"/platforms/*.dll "$stage"/styles/*.dll
cat > "$stage/README.txt" <<'TEXT'
RAR4120E evaluation kit - Windows

1. USB (PODLINK board): install FTDI's D2XX driver (it puts FTD2XX.dll in
   Windows' system folder). RS-232 boards need no driver beyond the COM port's.
2. Unzip this folder anywhere and run rar4120e-evkit.exe, or install it with
   the Setup program, whose Start-menu entry starts it in
   %LOCALAPPDATA%\Corvelle\RAR4120E. The settings file RAR4120E.ini is kept
   in the folder the program starts in, and Help > Help opens help.chm from
   there, or else from the program's folder.
3. Without hardware: rar4120e-evkit.exe --simulator (or rar4120e-cli.exe
   --simulator -c "readbyte 2A 00") uses the simulated kit in podlink-d2xx.dll.

The folder may have any name, in any script. rar4120e-evkit.exe is a
windowed program; rar4120e-cli.exe runs in a console window.

sdk\ holds rerodada.h, the import library of RERODADA.dll for mingw-w64 and
RERODADA.def for other toolchains (stdcall, decorated names such as
BrimBoardGetBanner@8), for programs of your own. rerodada.h says how C# and
Visual Basic declare the functions. licenses\ holds the licences of Qt, the
GCC runtime and mingw-w64, which the program uses.
TEXT
sed -i 's/$/\r/' "$stage/README.txt" "$stage"/licenses/*.txt
(cd "$build/package" && rm -f "$name.zip" && zip -qr9 "$name.zip" "$name")

# The Setup installs exactly the staged files and its uninstaller removes
# exactly those, folders last and only when empty.
setup="$build/package/rar4120e-evkit-$version-setup.exe"
nsh="$build/package/nsis"
mkdir -p "$nsh"
stage_abs=$(realpath "$stage")
# Paths relative to the install folder, each folder's files together.
files=$(cd "$stage" && find . -type f -printf '%h\t%P\n' | LC_ALL=C sort | cut -f2)
folders=$(cd "$stage" && find . -mindepth 1 -type d -printf '%P\n' | LC_ALL=C sort -r)
outpath=-
while read -r f; do
    d=$(dirname "$f")
    [ "$d" = . ] && d=""
    if [ "$d" != "$outpath" ]; then
        echo "SetOutPath \"\$INSTDIR${d:+\\${d//\//\\}}\""
        outpath=$d
    fi
    echo "File \"$stage_abs/$f\""
done <<<"$files" >"$nsh/install.nsh"
{
    while read -r f; do echo "Delete \"\$INSTDIR\\${f//\//\\}\""; done <<<"$files"
    while read -r d; do echo "RMDir \"\$INSTDIR\\${d//\//\\}\""; done <<<"$folders"
} >"$nsh/uninstall.nsh"
# The welcome and finish pages' picture (164 x 314): the splash's backlit
# strip under the program's icon.
convert images/splash-background.png -gravity center -crop 164x314+0+0 +repage \
    \( images/rar4120e.png -resize 112x112 \) -gravity north -geometry +0+36 -composite \
    -type TrueColor BMP3:"$nsh/wizard.bmp"
makensis -V2 -DVERSION="$version" -DFILES="$(realpath "$nsh/install.nsh")" \
    -DUNFILES="$(realpath "$nsh/uninstall.nsh")" -DICON="$PWD/images/rar4120e.ico" \
    -DWIZARD="$(realpath "$nsh/wizard.bmp")" \
    -DOUTFILE="$(realpath "$build/package")/$(basename "$setup")" packaging/windows/rar4120e-evkit.nsi
echo "$setup"
echo "$build/package/$name.zip"
