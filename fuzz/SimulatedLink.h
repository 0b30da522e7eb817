// The link of the fuzz targets that reach the simulated board through the
// D2XX stand-in. The board answers at once and the library's clock is
// virtual: its sleeps move the time on without waiting, so resets and
// time-outs take their full length as the library sees it and no time at all.
#pragma once

#include "Board.h"
#include "platform/Tick.h"

#include <dlfcn.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace fuzz {

// An input that keeps the library waiting longer than this is a hang, as one
// that runs longer than libFuzzer's -timeout is in real time.
constexpr uint64_t kHangMicroseconds = 20'000'000;

class VirtualClock : public rerodada::platform::Clock {
  public:
    uint64_t Microseconds() override { return us_; }
    void Sleep(uint64_t us) override {
        us_ += us;
        if (us_ - inputStart_ > kHangMicroseconds) {
            std::fprintf(stderr, "the library has waited %llu ms on this input\n",
                         static_cast<unsigned long long>((us_ - inputStart_) / 1000));
            std::abort();
        }
    }
    void startInput() { inputStart_ = us_; }

  private:
    uint64_t us_ = 0;
    uint64_t inputStart_ = 0;
};

inline VirtualClock& virtualClock() {
    static VirtualClock clock;
    return clock;
}

template <typename Fn> Fn standInHook(const char* name) {
    static void* const standIn = dlopen(PODSIM_D2XX_LIBRARY, RTLD_NOW);
    const auto hook = standIn ? reinterpret_cast<Fn>(dlsym(standIn, name)) : nullptr;
    if (!hook) std::abort();
    return hook;
}

inline podsim::Board* simulatedBoard() {
    static const auto board = standInHook<podsim::Board* (*)(unsigned)>("podsim_d2xx_board");
    return board(0);
}

// Points the library at the stand-in, whose board's replies come without the
// chip's latency timer, and puts in the virtual clock. Call before the first
// connect.
inline void useSimulatedLink() {
    setenv("RERODADA_D2XX_LIBRARY", PODSIM_D2XX_LIBRARY, 1);
    setenv("RERODADA_SERIAL_PORTS", "", 1);
    setenv("RERODADA_USB_TTYS", "", 1);
    setenv("PODLINK_SIM_CONFIG", "", 1);
    const auto reload = standInHook<int (*)(const char*)>("podsim_d2xx_reload");
    if (reload("usb.latency_timer = 0\nrecord_traffic = false\n") != 0) std::abort();
    rerodada::platform::UseClock(&virtualClock());
}

} // namespace fuzz
