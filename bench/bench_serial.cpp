// B2: the host cost of one transaction through the serial transport, with
// podlink-sim serving the board on a pseudo-terminal; B4 on the USB board
// reached through the kernel's FTDI driver, podlink-sim --usb serving it.
#include "BenchSupport.h"
#include "SimulatorProcess.h"
#include "rerodada.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr uint8_t kChip = 0x2A;
constexpr uint8_t kDevId = 0x00;

pid_t gSimulator = -1;

using ReadByte = uint32_t (*)(uint8_t, uint8_t, uint8_t*);

void readByte(benchmark::State& state, ReadByte read) {
    if (!BrimBoardConnected() && !BrimBoardConnect()) {
        state.SkipWithError("podlink-sim did not answer");
        return;
    }
    uint8_t value = 0;
    for (auto _ : state) {
        if (!read(kChip, kDevId, &value)) {
            state.SkipWithError("read failed");
            break;
        }
    }
    benchmark::DoNotOptimize(value);
}

// The processor time is this process's only; podlink-sim's is not counted.
void B2_ReadByte_Native_Pty(benchmark::State& state) {
    readByte(state, BrimSMBusReadByte_native);
}
BENCHMARK(B2_ReadByte_Native_Pty)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);

void B2_ReadByte_Portable_Pty(benchmark::State& state) {
    readByte(state, BrimSMBusReadByte_portable);
}
BENCHMARK(B2_ReadByte_Portable_Pty)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);

// B4 on the USB board through the kernel's FTDI driver: no D2XX library,
// podlink-sim --usb as the driver's tty, the board at the first rate tried.
void B4_Connect_KernelDriver(benchmark::State& state) {
    BrimBoardDisconnect();
    pid_t usbSimulator = -1;
    const std::string pty = StartSimulator(BENCH_PODLINK_SIM, {"--usb"}, &usbSimulator);
    if (pty.empty()) {
        state.SkipWithError("podlink-sim --usb did not start");
        return;
    }
    setenv("RERODADA_USB_TTYS", (pty + "=PL000001=PODLINK USB").c_str(), 1);
    for (auto _ : state) {
        BrimBoardDisconnect();
        if (!BrimBoardConnectAnyUSB()) {
            state.SkipWithError("connect failed");
            break;
        }
    }
    BrimBoardDisconnect();
    setenv("RERODADA_USB_TTYS", "", 1);
    StopSimulator(usbSimulator);
}
BENCHMARK(B4_Connect_KernelDriver)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    const std::string pty = StartSimulator(BENCH_PODLINK_SIM, {}, &gSimulator);
    if (pty.empty()) {
        std::fprintf(stderr, "podlink-sim did not start\n");
        StopSimulator(gSimulator);
        return 1;
    }
    bench::useSerialPorts(pty);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    BrimBoardDisconnect();
    StopSimulator(gSimulator);
    return 0;
}
