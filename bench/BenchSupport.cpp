#include "BenchSupport.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace bench {
namespace {

// The library loads the D2XX library by this path; opening it again gives
// the same instance, and so the same boards.
void* d2xx() {
    static void* const handle = dlopen(BENCH_D2XX_LIBRARY, RTLD_NOW);
    return handle;
}

template <typename Hook> Hook hook(const char* name) {
    void* handle = d2xx();
    return handle ? reinterpret_cast<Hook>(dlsym(handle, name)) : nullptr;
}

long statusField(const char* name) {
    FILE* status = std::fopen("/proc/self/status", "r");
    if (!status) return -1;
    char line[256];
    long kib = -1;
    const size_t length = std::strlen(name);
    while (std::fgets(line, sizeof line, status)) {
        if (std::strncmp(line, name, length) == 0 && line[length] == ':') {
            kib = std::strtol(line + length + 1, nullptr, 10);
            break;
        }
    }
    std::fclose(status);
    return kib < 0 ? -1 : kib * 1024;
}

} // namespace

void useUsbSimulator() {
    setenv("RERODADA_SERIAL_PORTS", "", 1);
    setenv("RERODADA_USB_TTYS", "", 1);
    setenv("RERODADA_D2XX_LIBRARY", BENCH_D2XX_LIBRARY, 1);
    setenv("PODLINK_SIM_CONFIG", "", 1);
}

void useSerialPorts(const std::string& serialPorts) {
    setenv("RERODADA_SERIAL_PORTS", serialPorts.c_str(), 1);
    setenv("RERODADA_USB_TTYS", "", 1);
    setenv("RERODADA_D2XX_LIBRARY", "/nonexistent/libftd2xx.so", 1);
}

podsim::Board* board() {
    using BoardHook = podsim::Board* (*)(unsigned);
    const auto boardHook = hook<BoardHook>("podsim_d2xx_board");
    return boardHook ? boardHook(0) : nullptr;
}

bool reloadSimulator(const std::string& configText) {
    using ReloadHook = int (*)(const char*);
    const auto reloadHook = hook<ReloadHook>("podsim_d2xx_reload");
    return reloadHook && reloadHook(configText.c_str()) == 0;
}

void keepLatencyTimer(bool keep) {
    using KeepHook = void (*)(int);
    if (const auto keepHook = hook<KeepHook>("bench_d2xx_keep_latency_timer")) keepHook(keep);
}

long residentBytes() {
    return statusField("VmRSS");
}

long peakResidentBytes() {
    return statusField("VmHWM");
}

} // namespace bench
