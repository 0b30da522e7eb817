#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: once as built for use,
# once with AddressSanitizer and UndefinedBehaviorSanitizer; then runs each
# fuzz target briefly.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
jobs="$(nproc)"

scripts/build.sh build
(cd build && ctest --output-on-failure -j"$jobs")

scripts/build.sh build-asan -DRERODADA_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    LSAN_OPTIONS="suppressions=$PWD/../tests/lsan.supp" ctest --output-on-failure -j"$jobs")

# Every fuzz target for 30 seconds, built with clang.
scripts/fuzz.sh 30
