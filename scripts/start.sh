#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program on the simulated kit.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh build
if [ -x build/bin/rar4120e-evkit ]; then
    exec build/bin/rar4120e-evkit --simulator "$@"
fi
exec build/bin/rerodada-linkcheck --simulator "$@"
