#!/usr/bin/env bash
# Builds the libFuzzer targets in build-fuzz (clang 14, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for the given number of seconds
# (default 30), two at a time. New corpus entries go to build-fuzz/corpus;
# the seeds in fuzz/corpus are only read. Prints how many inputs each target
# ran, and how many a second. Exits non-zero on any finding, whose reproducer
# is left in build-fuzz/findings/<target>/.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$(pwd)"
seconds="${1:-30}"
build="$root/build-fuzz"
targets=(banner settings replies interpreter)

CC=clang-14 CXX=clang++-14 cmake -S . -B "$build" -G Ninja -DRERODADA_FUZZ=ON \
    -DRERODADA_BUILD_TESTS=OFF -DRERODADA_BUILD_GUI=ON -DRERODADA_SANITIZE=ON \
    -DCMAKE_C_FLAGS=-fsanitize=fuzzer-no-link -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link \
    >/dev/null
cmake --build "$build" --target "${targets[@]/#/fuzz_}"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="detect_leaks=0:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

run() {
    local t="$1"
    mkdir -p "$build/corpus/$t" "$build/findings/$t"
    # -timeout: one input taking longer than this is a hang, and a finding.
    "$build/bin/fuzz_$t" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$build/findings/$t/" \
        "$build/corpus/$t" "$root/fuzz/corpus/$t" >"$build/findings/$t.log" 2>&1
}

status=0
pids=()
for t in "${targets[@]}"; do
    run "$t" &
    pids+=("$!:$t")
    if ((${#pids[@]} == 2)); then
        for p in "${pids[@]}"; do
            if ! wait "${p%%:*}"; then
                echo "fuzz_${p#*:}: FINDING, see $build/findings/${p#*:}.log" >&2
                status=1
            fi
        done
        pids=()
    fi
done
for p in "${pids[@]}"; do
    if ! wait "${p%%:*}"; then
        echo "fuzz_${p#*:}: FINDING, see $build/findings/${p#*:}.log" >&2
        status=1
    fi
done
# The rate is for comparing runs on one machine; it is not checked.
for t in "${targets[@]}"; do
    runs="$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$build/findings/$t.log" | grep -o '[0-9]*$' || true)"
    if [[ -n "$runs" ]]; then
        echo "fuzz_$t: $runs inputs in ${seconds} s ($((runs / (seconds > 0 ? seconds : 1))) a second)"
    else
        echo "fuzz_$t: ? inputs in ${seconds} s"
    fi
done
exit "$status"
