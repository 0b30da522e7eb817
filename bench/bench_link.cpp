// B1, B3 and B4: the board-link library alone against the in-process USB
// simulator: the host cost of one transaction, the processor time spent
// waiting for replies, and the connect time.
#include "BenchSupport.h"
#include "rerodada.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <string>

namespace {

constexpr uint8_t kChip = 0x2A;
constexpr uint8_t kDevId = 0x00;
// The traffic record of the simulated board is test equipment, not part of
// the host cost; it is emptied now and then so that it does not grow.
constexpr int kTrafficClearInterval = 4096;

bool connectTo(const std::string& configText) {
    BrimBoardDisconnect();
    return bench::reloadSimulator(configText) && BrimBoardConnect();
}

double processCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

using ReadByte = uint32_t (*)(uint8_t, uint8_t, uint8_t*);

void readByteNoLatency(benchmark::State& state, ReadByte read) {
    bench::keepLatencyTimer(false);
    if (!connectTo("latency_us = 0")) {
        state.SkipWithError("no simulated board");
        return;
    }
    podsim::Board* board = bench::board();
    uint8_t value = 0;
    int sinceClear = 0;
    for (auto _ : state) {
        if (!read(kChip, kDevId, &value)) {
            state.SkipWithError("read failed");
            break;
        }
        if (++sinceClear == kTrafficClearInterval) {
            board->clearTraffic();
            sinceClear = 0;
        }
    }
    benchmark::DoNotOptimize(value);
}

void B1_ReadByte_Native_USB(benchmark::State& state) {
    readByteNoLatency(state, BrimSMBusReadByte_native);
}
BENCHMARK(B1_ReadByte_Native_USB)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);

void B1_ReadByte_Portable_USB(benchmark::State& state) {
    readByteNoLatency(state, BrimSMBusReadByte_portable);
}
BENCHMARK(B1_ReadByte_Portable_USB)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);

// One iteration is 1,000 native reads, each reply held back 1 ms.
void B3_WaitCpu_1000Reads_1msLatency(benchmark::State& state) {
    bench::keepLatencyTimer(false);
    if (!connectTo("latency_us = 1000")) {
        state.SkipWithError("no simulated board");
        return;
    }
    podsim::Board* board = bench::board();
    double wall = 0;
    double cpu = 0;
    uint8_t value = 0;
    for (auto _ : state) {
        const auto wallStart = std::chrono::steady_clock::now();
        const double cpuStart = processCpuSeconds();
        for (int i = 0; i < 1000; ++i) {
            if (!BrimSMBusReadByte_native(kChip, kDevId, &value)) {
                state.SkipWithError("read failed");
                break;
            }
        }
        cpu += processCpuSeconds() - cpuStart;
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
        board->clearTraffic();
    }
    state.counters["cpu_pct"] = wall > 0 ? 100.0 * cpu / wall : 0;
    benchmark::DoNotOptimize(value);
}
BENCHMARK(B3_WaitCpu_1000Reads_1msLatency)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

// The board answers at the first baud rate (921600) with the first reset
// polarity. keepTimer: the chip's latency timer is in force as after FT_Open
// (16 ms), which is how a real chip answers while the library connects.
void connectOnce(benchmark::State& state, bool keepTimer) {
    BrimBoardDisconnect();
    if (!bench::reloadSimulator()) {
        state.SkipWithError("no simulated board");
        return;
    }
    bench::keepLatencyTimer(keepTimer);
    for (auto _ : state) {
        BrimBoardDisconnect();
        if (!BrimBoardConnect()) {
            state.SkipWithError("connect failed");
            break;
        }
    }
    bench::keepLatencyTimer(false);
}

void B4_Connect_USB_LatencyTimer16ms(benchmark::State& state) {
    connectOnce(state, true);
}
BENCHMARK(B4_Connect_USB_LatencyTimer16ms)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

void B4_Connect_USB_NoLatency(benchmark::State& state) {
    connectOnce(state, false);
}
BENCHMARK(B4_Connect_USB_NoLatency)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    bench::useUsbSimulator();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    BrimBoardDisconnect();
    return 0;
}
