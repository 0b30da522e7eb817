#include "platform/Tick.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace rerodada::platform {

namespace {

std::atomic<Clock*> gClock{nullptr};

} // namespace

void UseClock(Clock* clock) {
    gClock.store(clock);
}

uint32_t TickCount() {
    if (Clock* clock = gClock.load()) return static_cast<uint32_t>(clock->Microseconds() / 1000);
    using namespace std::chrono;
    return static_cast<uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void SleepMilliseconds(uint32_t ms) {
    if (Clock* clock = gClock.load()) return clock->Sleep(uint64_t{ms} * 1000);
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void SleepMicroseconds(uint32_t us) {
    if (Clock* clock = gClock.load()) return clock->Sleep(us);
    std::this_thread::sleep_for(std::chrono::microseconds(us));
}

} // namespace rerodada::platform
