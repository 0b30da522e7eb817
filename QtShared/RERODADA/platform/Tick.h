// Millisecond tick counter, sleeps and waits for the operating system, from
// the steady clock unless a test, fuzzer or benchmark has put in a clock of
// its own.
#ifndef RERODADA_PLATFORM_TICK_H
#define RERODADA_PLATFORM_TICK_H

#include <cstdint>

namespace rerodada::platform {

// Milliseconds since an arbitrary start; wraps like a 32-bit tick counter,
// so callers compare with unsigned subtraction.
uint32_t TickCount();
// Microseconds since an arbitrary start, for measuring short spans.
uint64_t Microseconds();

void SleepMilliseconds(uint32_t ms);
void SleepMicroseconds(uint32_t us);

// Something the operating system wakes its waiter for (bytes arriving at a
// port): Wait returns when it happened or after ms at most.
class Event {
  public:
    virtual void Wait(uint32_t ms) = 0;

  protected:
    ~Event() = default;
};

// Waits for the event, at most ms, through the clock in use.
void AwaitEvent(Event& event, uint32_t ms);

// A time source for TickCount, the sleeps and the waits. One whose sleeps
// only move its own time on lets the link's time-outs pass without waiting.
class Clock {
  public:
    virtual uint64_t Microseconds() = 0;
    virtual void Sleep(uint64_t us) = 0;
    // A clock of its own cannot know when the event will come: unless it
    // says otherwise, the whole wait passes on it as a sleep.
    virtual void Await(Event& event, uint64_t us) {
        static_cast<void>(event);
        Sleep(us);
    }

  protected:
    ~Clock() = default;
};

// The clock stays in use until the next call; nullptr goes back to the
// steady clock.
void UseClock(Clock* clock);

} // namespace rerodada::platform

#endif
