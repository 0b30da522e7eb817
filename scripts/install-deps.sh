#!/usr/bin/env bash
# Installs the Debian packages the project builds, runs and tests with; given
# package names, those instead (the Windows scripts name theirs).
# Usage: scripts/install-deps.sh [package...]
set -euo pipefail
packages=(
    build-essential cmake ninja-build pkg-config ccache
    qtbase5-dev qtbase5-dev-tools
    libgtest-dev libgmock-dev googletest libbenchmark-dev
    python3 python3-pytest
    clang-14 libclang-rt-14-dev
    xvfb xauth imagemagick
    # Liberation Sans stands in for the style sheet's Arial; the window test
    # also measures with DejaVu Sans and Nimbus Sans, a new system's fallbacks.
    fonts-liberation fonts-dejavu-core fonts-urw-base35
)
(($#)) && packages=("$@")
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    SUDO=""
    [ "$(id -u)" -ne 0 ] && SUDO="sudo"
    apt_get() { DEBIAN_FRONTEND=noninteractive $SUDO apt-get -o DPkg::Lock::Timeout=600 "$@"; }
    apt_get update -qq
    apt_get install -y -qq "${missing[@]}"
fi
