// B2: the host cost of one transaction through the serial transport, with
// podlink-sim serving the board on a pseudo-terminal.
#include "BenchSupport.h"
#include "rerodada.h"

#include <benchmark/benchmark.h>

#include <csignal>
#include <cstdio>
#include <string>

#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr uint8_t kChip = 0x2A;
constexpr uint8_t kDevId = 0x00;

pid_t gSimulator = -1;

// Starts podlink-sim and returns the pseudo-terminal it prints first.
std::string startSimulator() {
    int out[2];
    if (pipe(out) != 0) return std::string();
    gSimulator = fork();
    if (gSimulator == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        close(out[1]);
        execl(BENCH_PODLINK_SIM, BENCH_PODLINK_SIM, static_cast<char*>(nullptr));
        _exit(127);
    }
    close(out[1]);
    std::string path;
    char c;
    while (read(out[0], &c, 1) == 1 && c != '\n')
        path += c;
    close(out[0]);
    return path;
}

void stopSimulator() {
    if (gSimulator <= 0) return;
    kill(gSimulator, SIGTERM);
    waitpid(gSimulator, nullptr, 0);
}

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

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    const std::string pty = startSimulator();
    if (pty.empty()) {
        std::fprintf(stderr, "podlink-sim did not start\n");
        stopSimulator();
        return 1;
    }
    bench::useSerialPorts(pty);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    BrimBoardDisconnect();
    stopSimulator();
    return 0;
}
