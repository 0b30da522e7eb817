// B8: the resident size of the program over 100,000 transactions with the
// main window open, the log view full after the first 399: as command lines
// through the window (each reply also lands in the Debug tab's console), and
// as register writes and reads of the device-access layer (log rows only).
#include "BenchSupport.h"
#include "DeviceAccess.h"
#include "WindowSupport.h"

#include <benchmark/benchmark.h>

#include <QString>

namespace {

constexpr int kTransactions = 100000;
// The log holds 399 rows; by this many transactions it has been full for a
// while and only replaces rows.
constexpr int kLogFullAt = 1000;
// The Debug console's scrollback (10,000 lines, one reply line per command)
// is full well before this; from here on both are full, and the program
// must stay flat.
constexpr int kScrollbackFullAt = 20000;
constexpr double kMiB = 1024.0 * 1024.0;

using Transaction = void (*)(MainWindow& window, int i);

void commandLine(MainWindow& window, int i) {
    static const QString read = QStringLiteral("readbyte 2A 05");
    if (i % 2)
        window.slt_commandSend(QStringLiteral("writebyte 2A 05 %1").arg(i & 0xFF, 0, 16));
    else
        window.slt_commandSend(read);
}

void deviceAccess(MainWindow&, int i) {
    if (i % 2)
        writeByte(0x05, static_cast<uint8_t>(i));
    else
        readByte(0x05);
}

void memoryOver(benchmark::State& state, Transaction transaction) {
    auto window = bench::openConnectedWindow("latency_us = 0");
    if (!window) {
        state.SkipWithError("the window did not connect");
        return;
    }
    for (auto _ : state) {
        const long atStart = bench::residentBytes();
        long atLogFull = 0;
        long atHalf = 0;
        long atScrollbackFull = 0;
        for (int i = 1; i <= kTransactions; ++i) {
            transaction(*window, i);
            if (i % 1000 == 0) bench::board()->clearTraffic();
            if (i == kLogFullAt) atLogFull = bench::residentBytes();
            if (i == kTransactions / 2) atHalf = bench::residentBytes();
            if (i == kScrollbackFullAt) atScrollbackFull = bench::residentBytes();
        }
        const long atEnd = bench::residentBytes();
        const long peak = bench::peakResidentBytes();
        state.counters["start_MiB"] = atStart / kMiB;
        state.counters["logfull_MiB"] = atLogFull / kMiB;
        state.counters["half_MiB"] = atHalf / kMiB;
        state.counters["end_MiB"] = atEnd / kMiB;
        state.counters["peak_MiB"] = peak / kMiB;
        state.counters["scrollback_full_MiB"] = atScrollbackFull / kMiB;
        // Growth once the log and the console scrollback are both full.
        state.counters["growth_after_full_MiB"] = (atEnd - atScrollbackFull) / kMiB;
        state.counters["peak_above_start_MiB"] = (peak - atStart) / kMiB;
    }
    bench::closeWindow(window);
}
// The peak is the process's since it started, so each case runs in a
// process of its own (scripts/bench.sh filters them one at a time).
void B8_Memory_100000CommandLines(benchmark::State& state) {
    memoryOver(state, commandLine);
}
BENCHMARK(B8_Memory_100000CommandLines)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

void B8_Memory_100000DeviceAccessCalls(benchmark::State& state) {
    memoryOver(state, deviceAccess);
}
BENCHMARK(B8_Memory_100000DeviceAccessCalls)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    return bench::runWindowBenchmarks(argc, argv);
}
