#!/usr/bin/env bash
# Builds the Debian package rar4120e-evkit_<version>_amd64.deb from an
# optimized build: the programs, the board-link library with its header and
# Python module, the simulated kit, the command reference, a desktop entry
# with icons, manual pages made from the programs' --help, and a udev rule
# for the board's USB serial port. The layout comes from cmake/Install.cmake.
# Usage: scripts/package-deb.sh [build-dir]   (default build-deb)
# Standard output: the path of the .deb; the build's progress and errors go
# to standard error.
set -euo pipefail
cd "$(dirname "$0")/.."
exec 3>&1 1>&2
build=$(realpath -m "${1:-build-deb}")
version=$(sed -n 's/^project(rar4120e_evkit VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "package-deb: no version in CMakeLists.txt" >&2; exit 1; }
package=rar4120e-evkit
arch=$(dpkg --print-architecture)

scripts/install-deps.sh
scripts/install-deps.sh dpkg-dev file help2man librsvg2-bin
umask 022
# The changelog's date dates the manual pages and the archive's files, so
# that one source gives one package.
SOURCE_DATE_EPOCH=$(dpkg-parsechangelog -l packaging/linux/changelog -STimestamp)
export SOURCE_DATE_EPOCH

# Debian's hardening flags (stack protector, fortified calls, read-only
# relocations bound at start-up), given on every configure since the cache
# keeps the first ones. Without -Wdate-time: the library's build report
# names its build date on purpose.
flags() { DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$1" | sed 's/-Wdate-time//'; }
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DRERODADA_BUILD_TESTS=OFF \
    -DCMAKE_C_FLAGS="$(flags CPPFLAGS) $(flags CFLAGS)" \
    -DCMAKE_CXX_FLAGS="$(flags CPPFLAGS) $(flags CXXFLAGS)" \
    -DCMAKE_EXE_LINKER_FLAGS="$(flags LDFLAGS)" -DCMAKE_SHARED_LINKER_FLAGS="$(flags LDFLAGS)" \
    >/dev/null
cmake --build "$build" -j2 --target rar4120e-evkit rar4120e-cli rerodada podlink-d2xx

# dpkg-shlibdeps takes libraries under debian/<package> as the package's own.
work=$build/deb
stage=$work/debian/$package
rm -rf "$work"
mkdir -p "$stage"
DESTDIR=$stage cmake --install "$build" >/dev/null

elves=()
while IFS= read -r -d '' f; do
    if file -b "$f" | grep -q '^ELF'; then elves+=("$f"); fi
done < <(find "$stage" -type f -print0)
for f in "${elves[@]}"; do
    strip --strip-unneeded --remove-section=.comment --remove-section=.note "$f"
done

share=$stage/usr/share
for size in 48 256; do
    mkdir -p "$share/icons/hicolor/${size}x$size/apps"
    rsvg-convert -w "$size" -h "$size" images/rar4120e.svg \
        -o "$share/icons/hicolor/${size}x$size/apps/$package.png"
done

# help2man takes the synopsis from a line starting "Usage:", and the pages
# show the name the program was run by.
mkdir -p "$share/man/man1" "$work/man-bin"
man_page() {
    printf '#!/bin/bash\n(exec -a %s %q "$@") | sed "s/^usage:/Usage:/"\n' "$1" "$build/bin/$1" \
        >"$work/man-bin/$1"
    chmod 0755 "$work/man-bin/$1"
    local extra=()
    [ -f "packaging/linux/$1.h2m" ] && extra=(--include="packaging/linux/$1.h2m")
    help2man --no-info --section=1 --name="$2" "${extra[@]}" "$work/man-bin/$1" |
        gzip -9n >"$share/man/man1/$1.1.gz"
}
man_page rar4120e-evkit "control program for the RAR4120E LED driver evaluation kit"
man_page rar4120e-cli "run RAR4120E evaluation kit command lines without a window"

doc=$share/doc/$package
mkdir -p "$doc"
cp packaging/linux/copyright "$doc/copyright"
# The version has no Debian revision: a native package, whose changelog is changelog.gz.
gzip -9n <packaging/linux/changelog >"$doc/changelog.gz"

# Ownership is set by dpkg-deb; the modes are the usual ones whatever the
# checkout's umask was.
find "$stage" -type d -exec chmod 0755 {} +
find "$stage" -type f -exec chmod 0644 {} +
for f in "${elves[@]}"; do
    case "$f" in *.so) ;; *) chmod 0755 "$f" ;; esac
done

mkdir -p "$stage/DEBIAN"
shlibdeps_args=()
for f in "${elves[@]}"; do shlibdeps_args+=("-e${f#"$work"/}"); done
depends=$(cd "$work" && touch debian/control &&
    dpkg-shlibdeps -O "${shlibdeps_args[@]}" 2> >(grep -v "can't extract name and version" >&2) |
    sed -n 's/^shlibs:Depends=//p')
[ -n "$depends" ] || { echo "package-deb: dpkg-shlibdeps found no dependencies" >&2; exit 1; }
# The style sheet asks for Arial; Liberation Sans stands in for it.
depends="$depends, fonts-liberation"
size=$(du -sk --exclude=DEBIAN "$stage" | cut -f1)
sed -e "s/@VERSION@/$version/" -e "s/@INSTALLED_SIZE@/$size/" -e "s/@DEPENDS@/$depends/" \
    packaging/linux/control.in >"$stage/DEBIAN/control"
# librerodada.so is in the loader's search path.
echo "activate-noawait ldconfig" >"$stage/DEBIAN/triggers"
(cd "$stage" && find . -path ./DEBIAN -prune -o -type f -printf '%P\0' | sort -z |
    xargs -0 md5sum >DEBIAN/md5sums)
chmod 0644 "$stage/DEBIAN/"*
install -m 0755 packaging/linux/postinst packaging/linux/prerm "$stage/DEBIAN/"

deb=$build/${package}_${version}_$arch.deb
dpkg-deb --root-owner-group -Zxz --build "$stage" "$deb" >/dev/null
echo "$deb" >&3
