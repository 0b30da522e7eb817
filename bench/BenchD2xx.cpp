// The benchmarks' D2XX library: the simulator's stand-in, with the chip's
// latency timer kept out of the simulated link. The library still sets the
// timer as it always does; the board just does not hold replies back for it,
// so a link's latency is exactly the board's latency_us. Every other function
// is the stand-in's own, found through this library's dependency.
#include "Board.h"
#include "d2xx/D2xxApi.h"

#include <dlfcn.h>

namespace {

bool gKeepLatencyTimer = false;

void clearLatencyTimers() {
    for (unsigned i = 0; podsim::Board* board = podsim_d2xx_board(i); ++i)
        board->setLatencyTimerMs(0);
}

} // namespace

// Non-zero: the timer holds replies back as on the chip; zero: it does not.
PODSIM_D2XX_EXPORT void bench_d2xx_keep_latency_timer(int keep) {
    gKeepLatencyTimer = keep != 0;
    if (!gKeepLatencyTimer) clearLatencyTimers();
}

PODSIM_D2XX_EXPORT uint32_t FT_Open(int index, void** handle) {
    using Open = uint32_t (*)(int, void**);
    static const auto next = reinterpret_cast<Open>(dlsym(RTLD_NEXT, "FT_Open"));
    const uint32_t status = next(index, handle);
    if (!gKeepLatencyTimer) clearLatencyTimers();
    return status;
}

PODSIM_D2XX_EXPORT uint32_t FT_SetLatencyTimer(void* handle, uint8_t ms) {
    using SetLatencyTimer = uint32_t (*)(void*, uint8_t);
    static const auto next =
        reinterpret_cast<SetLatencyTimer>(dlsym(RTLD_NEXT, "FT_SetLatencyTimer"));
    const uint32_t status = next(handle, ms);
    if (!gKeepLatencyTimer) clearLatencyTimers();
    return status;
}
