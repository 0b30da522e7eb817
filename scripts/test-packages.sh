#!/usr/bin/env bash
# Tests the packages as a user gets them. Linux: builds the .deb, checks it
# with lintian, installs it with apt on a minimal Debian 12 (debootstrap,
# from the archive apt uses here), runs both programs on the simulated kit
# from /usr/bin, then purges it and checks that nothing it installed is left.
# Windows: scripts/test-package-windows.sh, when it is there.
# Needs root (debootstrap, chroot, mounts). The Linux half is skipped, with
# a message, when the archive cannot be reached.
# Usage: scripts/test-packages.sh [build-dir]   (default build-deb)
set -euo pipefail
cd "$(dirname "$0")/.."
[ "$(id -u)" -eq 0 ] || exec sudo "$0" "$@"

say() { echo "test-packages: $*"; }

root=""
mounted=()
cleanup() {
    local i
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
        umount -R "${mounted[i]}" 2>/dev/null || umount -lR "${mounted[i]}"
    done
    mounted=()
    [ -n "$root" ] || return 0
    # Never delete while anything is still mounted below the machine's root.
    if findmnt -rn -o TARGET | grep -q "^$root/"; then
        say "mounts remain under $root; left in place"
        return 0
    fi
    rm -rf --one-file-system "$root"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# apt's own downloader tells, through whatever proxy apt is set up with.
archive_reachable() {
    local release
    release=$(mktemp)
    /usr/lib/apt/apt-helper download-file "${1%/}/dists/bookworm/Release" "$release" >/dev/null 2>&1
    local reached=$?
    rm -f "$release"
    return $reached
}

linux_package() {
    local mirror
    mirror=$(awk '/^URIs:/ {print $2; exit}' /etc/apt/sources.list.d/debian.sources 2>/dev/null)
    [ -n "$mirror" ] || mirror=$(awk '/^deb / {print $2; exit}' /etc/apt/sources.list 2>/dev/null)
    [ -n "$mirror" ] || { say "cannot tell which Debian archive apt uses"; return 1; }
    if ! archive_reachable "$mirror"; then
        say "SKIPPED the Linux package test: the Debian archive cannot be reached"
        return 0
    fi

    scripts/install-deps.sh debootstrap lintian
    local deb
    deb=$(scripts/package-deb.sh "$@")
    say "$deb, $(du -k "$deb" | cut -f1) KiB"

    # Errors fail the test; warnings are shown.
    local findings
    findings=$(lintian "$deb" 2>&1 | grep -v 'running with root privileges') || true
    [ -z "$findings" ] || echo "$findings"
    if grep -q '^E:' <<<"$findings"; then
        say "lintian reports errors"
        return 1
    fi

    local cache=/var/cache/rar4120e base=/var/cache/rar4120e/bookworm-minbase.tar
    if [ ! -s "$base" ]; then
        mkdir -p "$cache"
        local made
        made=$(mktemp -d "$cache/make.XXXX")
        say "making the base system (once, cached in $cache)"
        if ! debootstrap --variant=minbase bookworm "$made" "$mirror" >"$cache/debootstrap.log" 2>&1; then
            tail -5 "$cache/debootstrap.log"
            rm -rf --one-file-system "$made"
            say "debootstrap failed"
            return 1
        fi
        tar -C "$made" -cf "$base.part" . && mv "$base.part" "$base"
        rm -rf --one-file-system "$made"
    fi

    root=$(mktemp -d "${TMPDIR:-/var/tmp}/test-packages.XXXX")
    # apt downloads as its own user, which must reach the machine's folders.
    chmod 0755 "$root"
    tar -C "$root" --numeric-owner -xf "$base"
    if [ -f /etc/apt/sources.list.d/debian.sources ]; then
        cp /etc/apt/sources.list.d/debian.sources "$root/etc/apt/sources.list.d/"
        rm -f "$root/etc/apt/sources.list"
    else
        cp /etc/apt/sources.list "$root/etc/apt/"
    fi
    cp /etc/resolv.conf "$root/etc/" 2>/dev/null || true
    mkdir -p "$root/proc" "$root/sys" "$root/dev"
    mount -t proc proc "$root/proc"
    mounted+=("$root/proc")
    mount -t sysfs sys "$root/sys"
    mounted+=("$root/sys")
    mount --rbind /dev "$root/dev"
    mounted+=("$root/dev")
    mount --make-rslave "$root/dev"
    cp "$deb" "$root/root/"

    say "installing $(basename "$deb") with apt on a minimal Debian 12"
    chroot "$root" /usr/bin/env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 \
        DEBIAN_FRONTEND=noninteractive /bin/bash -s "$(basename "$deb")" <<'EOF'
set -euo pipefail
fail() { echo "test-packages: FAILED: $*"; exit 1; }
apt-get update -qq
# Without recommended packages: what the package depends on must be enough.
# Python, which it suggests, for its module.
apt-get install -y -qq --no-install-recommends "/root/$1" python3 >/dev/null
cd /tmp

dump=$(rar4120e-cli --simulator --dump) || fail "rar4120e-cli --simulator --dump: exit $?"
head -4 <<<"$dump"
grep -qx "RAR4120E at 0x2A" <<<"$dump" || fail "the dump names no device at 0x2A"
# Registers 0x00 to 0x16, each with its value.
registers=$(grep -c '^0x[0-9A-F][0-9A-F] [A-Z_0-9 ]* = 0x[0-9A-F][0-9A-F]: ' <<<"$dump" || true)
[ "$registers" -eq 23 ] || fail "the dump shows $registers register values, not 23"

version=$(rar4120e-evkit --simulator --version)
echo "$version"
[[ "$version" =~ ^rar4120e-evkit\ [0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "rar4120e-evkit --version: $version"
[[ "$(rar4120e-cli --version)" == "rar4120e-cli ${version#rar4120e-evkit }" ]] ||
    fail "the two programs name different versions"

# The window program, drawn off screen: it starts on the installed Qt, runs a
# script on the simulated kit and keeps its settings in the working directory.
echo "readbyte 2A 00" >/tmp/read.scr
trace=$(QT_QPA_PLATFORM=offscreen timeout 300 rar4120e-evkit --simulator --trace \
    --run-script /tmp/read.scr --quit-after 2>/tmp/evkit.err) ||
    { rc=$?; cat /tmp/evkit.err; fail "rar4120e-evkit --run-script: exit $rc"; }
grep -F "reply ok=1 command=readbyte 2A 00 text=12" <<<"$trace" ||
    { cat /tmp/evkit.err; fail "the window program's script got no reply"; }
[ -s /tmp/RAR4120E.ini ] || fail "no RAR4120E.ini in the working directory"

# The module finds librerodada.so through the loader's search.
chip=$(python3 -c '
import rerodada
rerodada.use_simulator()
with rerodada.Board() as board:
    print("DEV_ID 0x%02X" % board.read_byte(0x2A, 0x00))') || fail "the Python module: exit $?"
echo "python3: $chip"
[ "$chip" = "DEV_ID 0x12" ] || fail "the Python module read $chip"

for page in rar4120e-evkit rar4120e-cli; do
    [ -s "/usr/share/man/man1/$page.1.gz" ] || fail "no manual page for $page"
done

dpkg -L rar4120e-evkit >/root/installed
apt-get purge -y -qq rar4120e-evkit >/dev/null
# What is still there and belongs to no other package was left behind.
left=0
while IFS= read -r path; do
    if [ "$path" != "/." ] && { [ -e "$path" ] || [ -L "$path" ]; }; then
        dpkg -S "$path" >/dev/null 2>&1 || { echo "left after purge: $path"; left=1; }
    fi
done </root/installed
# Nor anything made from them, as the module's byte-code.
for made in $(find /usr -name 'rerodada*' -o -name 'rar4120e*'); do
    echo "left after purge: $made"
    left=1
done
[ "$left" -eq 0 ] || fail "the purge left files behind"
echo "test-packages: installed, ran and purged $(wc -l </root/installed) paths"
EOF
    say "Linux package passed"
}

linux_package "$@"
cleanup
root=""
if [ -x scripts/test-package-windows.sh ]; then
    scripts/test-package-windows.sh
fi
