#include "platform/SystemSleep.h"

#include <windows.h>

#include <chrono>
#include <thread>

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace rerodada::platform {

void SystemSleep(uint64_t us) {
    // Sleep, and the C++ sleeps built on it, last until the system timer's
    // next tick: up to 15.6 ms for a sleep of 1 ms. A high-resolution
    // waitable timer (Windows 10 1803 on) ends when asked, without changing
    // the system's timer for every other program.
    HANDLE timer = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                          TIMER_ALL_ACCESS);
    if (timer) {
        LARGE_INTEGER due;
        due.QuadPart = -static_cast<LONGLONG>(us * 10); // relative, in 100 ns units
        const bool slept = SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE) &&
                           WaitForSingleObject(timer, INFINITE) == WAIT_OBJECT_0;
        CloseHandle(timer);
        if (slept) return;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(us));
}

} // namespace rerodada::platform
