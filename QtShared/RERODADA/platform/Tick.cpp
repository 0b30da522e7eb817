#include "platform/Tick.h"

#include "platform/SystemSleep.h"

#include <atomic>
#include <chrono>

namespace rerodada::platform {

namespace {

std::atomic<Clock*> gClock{nullptr};

uint64_t SteadyMicroseconds() {
    using namespace std::chrono;
    return static_cast<uint64_t>(
        duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}

} // namespace

void UseClock(Clock* clock) {
    gClock.store(clock);
}

uint32_t TickCount() {
    return static_cast<uint32_t>(Microseconds() / 1000);
}

uint64_t Microseconds() {
    if (Clock* clock = gClock.load()) return clock->Microseconds();
    return SteadyMicroseconds();
}

void SleepMilliseconds(uint32_t ms) {
    if (Clock* clock = gClock.load()) return clock->Sleep(uint64_t{ms} * 1000);
    SystemSleep(uint64_t{ms} * 1000);
}

void SleepMicroseconds(uint32_t us) {
    if (Clock* clock = gClock.load()) return clock->Sleep(us);
    SystemSleep(us);
}

void AwaitEvent(Event& event, uint32_t ms) {
    if (Clock* clock = gClock.load()) return clock->Await(event, uint64_t{ms} * 1000);
    event.Wait(ms);
}

} // namespace rerodada::platform
