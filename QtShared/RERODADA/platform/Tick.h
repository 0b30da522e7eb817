// Millisecond tick counter and short waits, from the steady clock unless a
// test or fuzzer has put in a clock of its own.
#ifndef RERODADA_PLATFORM_TICK_H
#define RERODADA_PLATFORM_TICK_H

#include <cstdint>

namespace rerodada::platform {

// Milliseconds since an arbitrary start; wraps like a 32-bit tick counter,
// so callers compare with unsigned subtraction.
uint32_t TickCount();

void SleepMilliseconds(uint32_t ms);
void SleepMicroseconds(uint32_t us);

// A time source for TickCount and the sleeps. One whose sleeps only move its
// own time on lets the link's time-outs pass without waiting.
class Clock {
  public:
    virtual uint64_t Microseconds() = 0;
    virtual void Sleep(uint64_t us) = 0;

  protected:
    ~Clock() = default;
};

// The clock stays in use until the next call; nullptr goes back to the
// steady clock.
void UseClock(Clock* clock);

} // namespace rerodada::platform

#endif
