#!/usr/bin/env bash
# Builds the benchmarks (Release) and runs them all against the board
# simulator, then prints each benchmark's median against its goal, and last
# B10's waits and sleeps per transaction (bench_waits, which fails the
# script when it counts a sleep shorter than a reply's line time).
# Usage: scripts/bench.sh [build-dir]   (default build-bench)
# BENCH_REPETITIONS (default 5) sets the repeated runs per benchmark, and
# BENCH_MEMORY_RUNS (default 3) those of the memory benchmarks, which run in
# a process each since a peak resident size is the whole process's.
# BENCH_FILTER (a regular expression) runs only the matching benchmarks.
set -euo pipefail
cd "$(dirname "$0")/.."
dir="${1:-build-bench}"
repetitions="${BENCH_REPETITIONS:-5}"
memory_runs="${BENCH_MEMORY_RUNS:-3}"
filter="${BENCH_FILTER:-.}"

cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$dir" -j"$(nproc)" --target bench_link bench_serial bench_app bench_memory bench_stall \
    bench_waits

# Only the simulator: no real serial port, no real USB device.
export RERODADA_SERIAL_PORTS=
export RERODADA_USB_TTYS=
export RERODADA_D2XX_LIBRARY="$(cd "$dir" && pwd)/lib/libbench-d2xx.so"
export PODLINK_SIM_CONFIG=
export QT_QPA_PLATFORM=offscreen

out="$(cd "$dir" && pwd)/bench-results"
rm -rf "$out"
mkdir -p "$out"
echo "load before: $(uptime)"
for program in bench_link bench_serial bench_app bench_stall; do
    "$dir/bin/$program" --benchmark_repetitions="$repetitions" \
        --benchmark_report_aggregates_only=true --benchmark_filter="$filter" \
        --benchmark_out="$out/$program.json" --benchmark_out_format=json
done
for name in $("$dir/bin/bench_memory" --benchmark_list_tests --benchmark_filter="$filter"); do
    name="${name%%/*}"
    for run in $(seq "$memory_runs"); do
        "$dir/bin/bench_memory" --benchmark_filter="^$name/" \
            --benchmark_out="$out/bench_memory-$name-$run.json" --benchmark_out_format=json
    done
done
echo "load after: $(uptime)"

python3 - "$out" <<'PY'
import glob, json, os, sys

# name: (measure, limit, text); measure is real (wall time in the row's
# unit), or the name of a counter.
goals = {
    "B1_ReadByte_Native_USB": ("real", 20, "wall <= 20 us"),
    "B1_ReadByte_Portable_USB": (None, None, "(no goal)"),
    "B2_ReadByte_Native_Pty": ("real", 200, "wall <= 200 us"),
    "B2_ReadByte_Portable_Pty": ("real", 200, "wall <= 200 us"),
    "B3_WaitCpu_1000Reads_1msLatency": ("cpu_pct", 10, "CPU <= 10 % of wall"),
    "B4_Connect_USB_LatencyTimer16ms": ("real", 200, "wall <= 200 ms"),
    "B4_Connect_USB_NoLatency": ("real", 200, "wall <= 200 ms"),
    "B4_Connect_KernelDriver": ("real", 200, "wall <= 200 ms"),
    "B5_Scan_NoLatency": ("real", 50, "wall <= 50 ms"),
    "B5_Scan_1msLatency": ("real", 300, "wall <= 300 ms"),
    "B5_Scan_LatencyTimer2ms": (None, None, "(no goal)"),
    "B6_RefreshPages_NoLatency": ("real", 30, "wall <= 30 ms"),
    "B6_RefreshPages_1msLatency": ("real", 60, "wall <= 60 ms"),
    "B6_RefreshPages_KernelDriver_1msLatency": ("real", 60, "wall <= 60 ms"),
    "B6_RefreshPages_LatencyTimer1ms": (None, None, "(no goal)"),
    "B7_Script_10000Lines_NoLatency": ("real", 2000, "wall <= 2000 ms"),
    "B8_Memory_100000CommandLines": ("peak_above_start_MiB", 10, "flat; peak <= start + 10 MiB"),
    "B8_Memory_100000DeviceAccessCalls": ("peak_above_start_MiB", 10, "flat; peak <= start + 10 MiB"),
}
counters = ("cpu_pct", "start_MiB", "logfull_MiB", "scrollback_full_MiB", "end_MiB", "peak_MiB",
            "growth_after_full_MiB", "peak_above_start_MiB")
# Medians: the aggregate of repeated runs in one process, or the median of
# single runs in processes of their own.
runs = {}
for path in sorted(glob.glob(os.path.join(sys.argv[1], "*.json"))):
    for b in json.load(open(path)).get("benchmarks", []):
        if b.get("error_occurred"):
            continue
        name = b["run_name"].split("/")[0]
        if b.get("run_type") == "aggregate":
            if b.get("aggregate_name") == "median":
                runs[name] = [b]
        else:
            runs.setdefault(name, []).append(b)
def median(entries):
    out = dict(entries[0])
    for key, value in entries[0].items():
        if isinstance(value, (int, float)) and not isinstance(value, bool):
            values = sorted(e[key] for e in entries)
            mid = len(values) // 2
            out[key] = values[mid] if len(values) % 2 else (values[mid - 1] + values[mid]) / 2
    return out
rows = []
for name, entries in runs.items():
    b = median(entries)
    measure, limit, text = goals.get(name, (None, None, "(no goal)"))
    value = b["real_time"] if measure == "real" else b.get(measure)
    verdict = "" if limit is None or value is None else ("met" if value <= limit else "MISSED")
    # Flat: no more than allocator noise once the log and the console's
    # scrollback are both full (growth_after_full_MiB counts from there).
    if b.get("growth_after_full_MiB", 0) > 0.5:
        verdict = "MISSED"
    extra = " ".join("%s=%.2f" % (c, b[c]) for c in counters if c in b)
    rows.append((name, "%.3g %s" % (b["real_time"], b["time_unit"]),
                 "%.3g %s" % (b["cpu_time"], b["time_unit"]), text, verdict, extra))
header = ("benchmark (median)", "wall", "CPU", "goal", "", "counters")
widths = [max(len(r[i]) for r in rows + [header]) for i in range(len(header))]
for r in [header] + rows:
    print("  ".join(r[i].ljust(widths[i]) for i in range(len(header))).rstrip())
PY

"$dir/bin/bench_waits"
