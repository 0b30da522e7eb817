// Millisecond tick counter and short waits, from the steady clock.
#ifndef RERODADA_PLATFORM_TICK_H
#define RERODADA_PLATFORM_TICK_H

#include <cstdint>

namespace rerodada::platform {

// Milliseconds since an arbitrary start; wraps like a 32-bit tick counter,
// so callers compare with unsigned subtraction.
uint32_t TickCount();

void SleepMilliseconds(uint32_t ms);
void SleepMicroseconds(uint32_t us);

} // namespace rerodada::platform

#endif
