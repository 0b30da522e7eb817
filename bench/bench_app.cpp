// B5, B6 and B7: the address scan, a refresh of both register pages and a
// long script, through the device-access layer and the main window, against
// the in-process USB simulator.
#include "BenchSupport.h"
#include "PtyServer.h"
#include "DeviceAccess.h"
#include "WindowSupport.h"

#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include <cstdlib>
#include <string>

namespace {

const char kNoLatency[] = "latency_us = 0";
const char kOneMsLatency[] = "latency_us = 1000";

// The default kit has two devices: the RAR4120E at 0x2A and an SMBus device
// at 0xA0. keepTimer: the chip's latency timer holds replies back, set as
// the program sets it (2 ms for the scan).
void scan(benchmark::State& state, const char* configText, bool keepTimer) {
    boardDisconnect();
    bench::keepLatencyTimer(keepTimer);
    if (!bench::reloadSimulator(configText) || !boardConnect()) {
        state.SkipWithError("no simulated board");
        bench::keepLatencyTimer(false);
        return;
    }
    uint8_t found[kScanBufferSize];
    for (auto _ : state) {
        scanAddresses(found);
        if (found[0] != 0x2A || found[1] != 0xA0 || found[2] != kScanEndMark) {
            state.SkipWithError("the scan did not find the two devices");
            break;
        }
        bench::board()->clearTraffic();
    }
    boardDisconnect();
    bench::keepLatencyTimer(false);
}

void B5_Scan_NoLatency(benchmark::State& state) {
    scan(state, kNoLatency, false);
}
BENCHMARK(B5_Scan_NoLatency)->MeasureProcessCPUTime()->UseRealTime()->Unit(benchmark::kMillisecond);

void B5_Scan_1msLatency(benchmark::State& state) {
    scan(state, kOneMsLatency, false);
}
BENCHMARK(B5_Scan_1msLatency)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

void B5_Scan_LatencyTimer2ms(benchmark::State& state) {
    scan(state, kNoLatency, true);
}
BENCHMARK(B5_Scan_LatencyTimer2ms)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// keepTimer: the chip's latency timer as the program sets it (1 ms).
void refresh(benchmark::State& state, const char* configText, bool keepTimer) {
    bench::keepLatencyTimer(keepTimer);
    auto window = bench::openConnectedWindow(configText);
    if (!window) {
        state.SkipWithError("the window did not connect");
        bench::keepLatencyTimer(false);
        return;
    }
    for (auto _ : state) {
        window->on_pushButton_Refresh_clicked();
        bench::board()->clearTraffic();
    }
    bench::closeWindow(window);
    bench::keepLatencyTimer(false);
}

void B6_RefreshPages_NoLatency(benchmark::State& state) {
    refresh(state, kNoLatency, false);
}
BENCHMARK(B6_RefreshPages_NoLatency)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

void B6_RefreshPages_1msLatency(benchmark::State& state) {
    refresh(state, kOneMsLatency, false);
}
BENCHMARK(B6_RefreshPages_1msLatency)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

void B6_RefreshPages_LatencyTimer1ms(benchmark::State& state) {
    refresh(state, kNoLatency, true);
}
BENCHMARK(B6_RefreshPages_LatencyTimer1ms)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// The same refresh with the USB board reached through the kernel's FTDI
// driver: the D2XX library lists no device, and the board, 1 ms behind its
// link, is served on a pseudo-terminal as that driver's tty.
void B6_RefreshPages_KernelDriver_1msLatency(benchmark::State& state) {
    podsim::Board board(podsim::Config::fromText("baud = 921600\nlatency_us = 1000"));
    podsim::PtyServer server(board);
    server.setUsb(true);
    if (!server.start()) {
        state.SkipWithError("no pseudo-terminal");
        return;
    }
    setenv("RERODADA_USB_TTYS", (server.slavePath() + "=PL000001=PODLINK USB").c_str(), 1);
    auto window = bench::openConnectedWindow("usb.devices = 0");
    if (!window) {
        state.SkipWithError("the window did not connect");
    } else {
        for (auto _ : state) {
            window->on_pushButton_Refresh_clicked();
            board.clearTraffic();
        }
        bench::closeWindow(window);
    }
    setenv("RERODADA_USB_TTYS", "", 1);
    bench::reloadSimulator();
}
BENCHMARK(B6_RefreshPages_KernelDriver_1msLatency)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// 10,000 lines: register writes and reads of the RAR4120E, alternating.
void B7_Script_10000Lines_NoLatency(benchmark::State& state) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bench.scr"));
    QFile file(path);
    if (!dir.isValid() || !file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        state.SkipWithError("cannot write the script");
        return;
    }
    {
        QTextStream out(&file);
        for (int i = 0; i < 5000; ++i) {
            out << "writebyte 2A 05 " << QString::number(i & 0xFF, 16) << '\n';
            out << "readbyte 2A 05\n";
        }
    }
    file.close();
    auto window = bench::openConnectedWindow(kNoLatency);
    if (!window) {
        state.SkipWithError("the window did not connect");
        return;
    }
    for (auto _ : state) {
        if (!window->runScript(path)) {
            state.SkipWithError("the script did not run");
            break;
        }
        bench::board()->clearTraffic();
    }
    bench::closeWindow(window);
}
BENCHMARK(B7_Script_10000Lines_NoLatency)
    ->MeasureProcessCPUTime()
    ->UseRealTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    return bench::runWindowBenchmarks(argc, argv);
}
