// B10: the waits and sleeps of the board link per transaction. A refresh of
// the RAR4120E's 23 registers (what the pages' read-all does) on every path
// the link has, with a clock that keeps real time but counts each sleep and
// each wait in the operating system. A sleep shorter than the reply's own
// time on the line is one that a coarse system timer (15.6 ms on Windows)
// would stretch many times over: the program exits with 1 when it counts one.
// Wall times are printed, not judged.
//
// Usage: bench_waits [--serial PORT] [--refreshes N]
// On Linux it serves the serial and the kernel-driver paths itself with
// podlink-sim; elsewhere --serial names the port of a simulated board (COM7
// under scripts/test-windows.sh). A path that cannot be reached is skipped.
#include "platform/DynamicLibrary.h"
#include "platform/Tick.h"
#include "rerodada.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#if !defined(_WIN32)
#include "SimulatorProcess.h"
#endif

namespace {

using namespace rerodada;

constexpr uint8_t kChip = 0x2A;
constexpr uint8_t kRegisters = 0x17;

uint64_t SteadyMicroseconds() {
    using namespace std::chrono;
    return static_cast<uint64_t>(
        duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}

// Real time, with every sleep and every wait for the system recorded.
class CountingClock final : public platform::Clock {
  public:
    uint64_t Microseconds() override { return SteadyMicroseconds(); }
    void Sleep(uint64_t us) override {
        sleeps.push_back(us);
        std::this_thread::sleep_for(std::chrono::microseconds(us));
    }
    void Await(platform::Event& event, uint64_t us) override {
        ++waits;
        event.Wait(static_cast<uint32_t>(us / 1000));
    }
    std::vector<uint64_t> sleeps;
    uint64_t waits = 0;
};

CountingClock gClock;

void SetEnv(const char* name, const std::string& value) {
#if defined(_WIN32)
    // Windows keeps no empty variable; ":" lists no serial port as "" does.
    const bool portList = std::strcmp(name, "RERODADA_SERIAL_PORTS") == 0;
    _putenv_s(name, value.empty() && portList ? ":" : value.c_str());
#else
    setenv(name, value.c_str(), 1);
#endif
}

// Fresh simulated USB devices from config text, through the stand-in's hook.
bool ReloadUsb(const char* config) {
    using Reload = int (*)(const char*);
    static void* const standIn = platform::LibraryLoad(BENCH_WAITS_D2XX);
    const auto reload = reinterpret_cast<Reload>(
        standIn ? platform::LibrarySymbol(standIn, "podsim_d2xx_reload") : nullptr);
    return reload && reload(config) == 0;
}

struct Tally {
    uint64_t transactions = 0, waits = 0, sleeps = 0, shortSleeps = 0;
    uint64_t shortestSleepUs = UINT64_MAX, lineUs = 0;
};

// One refresh; false when a read failed.
bool Refresh(Tally& tally) {
    for (uint8_t reg = 0; reg < kRegisters; ++reg) {
        const size_t sleepsBefore = gClock.sleeps.size();
        const uint64_t waitsBefore = gClock.waits;
        uint8_t value = 0;
        if (BrimSMBusReadByte(kChip, reg, &value) != 1) return false;
        const uint32_t baud = BrimBoardGetBaud();
        const uint64_t lineUs = baud ? ReroDadaResultCharCount() * 10ull * 1000000 / baud : 0;
        ++tally.transactions;
        tally.waits += gClock.waits - waitsBefore;
        tally.lineUs = std::max(tally.lineUs, lineUs);
        for (size_t i = sleepsBefore; i < gClock.sleeps.size(); ++i) {
            ++tally.sleeps;
            tally.shortestSleepUs = std::min(tally.shortestSleepUs, gClock.sleeps[i]);
            if (gClock.sleeps[i] < lineUs) ++tally.shortSleeps;
        }
    }
    return true;
}

// Connects, refreshes once untimed, then refreshes times over, counting.
// False when a short sleep was counted or a read failed.
bool RunPath(const char* name, const std::function<bool()>& connect, int refreshes) {
    BrimBoardDisconnect();
    if (!connect()) {
        std::printf("%-28s not reachable: skipped\n", name);
        return true;
    }
    Tally warmUp, tally;
    std::vector<double> wallMs;
    bool read = Refresh(warmUp);
    for (int i = 0; read && i < refreshes; ++i) {
        const uint64_t start = SteadyMicroseconds();
        read = Refresh(tally);
        wallMs.push_back(static_cast<double>(SteadyMicroseconds() - start) / 1000.0);
    }
    BrimBoardDisconnect();
    if (!read) {
        std::printf("%-28s a read failed\n", name);
        return false;
    }
    std::sort(wallMs.begin(), wallMs.end());
    const double n = static_cast<double>(tally.transactions);
    char shortest[32] = "-";
    if (tally.sleeps > 0)
        std::snprintf(shortest, sizeof shortest, "%llu",
                      static_cast<unsigned long long>(tally.shortestSleepUs));
    std::printf(
        "%-28s %6llu %8.2f %8.2f %8.3f %9s %8llu %9.2f %9.2f\n", name,
        static_cast<unsigned long long>(tally.transactions), static_cast<double>(tally.waits) / n,
        static_cast<double>(tally.sleeps) / n, static_cast<double>(tally.shortSleeps) / n, shortest,
        static_cast<unsigned long long>(tally.lineUs), wallMs[wallMs.size() / 2], wallMs.back());
    return tally.shortSleeps == 0;
}

} // namespace

int main(int argc, char** argv) {
    std::string serialPort;
    int refreshes = 20;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--serial") == 0) serialPort = argv[i + 1];
        if (std::strcmp(argv[i], "--refreshes") == 0)
            refreshes = std::max(1, std::atoi(argv[i + 1]));
    }
    SetEnv("RERODADA_D2XX_LIBRARY", BENCH_WAITS_D2XX);
    SetEnv("RERODADA_SERIAL_PORTS", "");
    SetEnv("RERODADA_USB_TTYS", "");
    SetEnv("PODLINK_SIM_CONFIG", "");
    platform::UseClock(&gClock);

    std::printf("B10: %d refreshes of %d registers per path; per transaction: waits for the "
                "system, sleeps, sleeps shorter than the reply's line time\n",
                refreshes, kRegisters);
    std::printf("%-28s %6s %8s %8s %8s %9s %8s %9s %9s\n", "path", "trans", "waits", "sleeps",
                "short", "min-sleep", "line-us", "median-ms", "max-ms");
    bool ok = true;
    const auto usb = [](const char* config) {
        return [config] { return ReloadUsb(config) && BrimBoardConnectAnyUSB(); };
    };
    ok &= RunPath("USB stand-in, no latency", usb("usb.latency_timer = 0\nlatency_us = 0"),
                  refreshes);
    ok &= RunPath("USB stand-in, 1 ms latency", usb("usb.latency_timer = 0\nlatency_us = 1000"),
                  refreshes);
    const auto serial = [](const std::string& port) {
        return [port] {
            SetEnv("RERODADA_SERIAL_PORTS", port);
            return BrimBoardConnectAnyRS232();
        };
    };
#if defined(_WIN32)
    if (!serialPort.empty()) ok &= RunPath("serial port", serial(serialPort), refreshes);
#else
    pid_t serialSimulator = -1, usbSimulator = -1;
    if (serialPort.empty())
        serialPort = StartSimulator(BENCH_WAITS_PODLINK_SIM, {}, &serialSimulator);
    if (!serialPort.empty()) ok &= RunPath("serial pty", serial(serialPort), refreshes);
    SetEnv("RERODADA_SERIAL_PORTS", "");
    const std::string usbTty = StartSimulator(BENCH_WAITS_PODLINK_SIM, {"--usb"}, &usbSimulator);
    if (!usbTty.empty()) {
        ok &= RunPath(
            "kernel driver tty, no latency",
            [&] {
                SetEnv("RERODADA_USB_TTYS", usbTty + "=PL000001=PODLINK USB");
                return ReloadUsb("usb.devices = 0") && BrimBoardConnectAnyUSB();
            },
            refreshes);
    }
    StopSimulator(serialSimulator);
    StopSimulator(usbSimulator);
#endif
    SetEnv("RERODADA_SERIAL_PORTS", "");
    platform::UseClock(nullptr);
    if (!ok)
        std::printf("B10 failed: a sleep shorter than a reply's line time, or a failed read\n");
    return ok ? 0 : 1;
}
