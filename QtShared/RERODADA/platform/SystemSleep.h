// The system's own sleep, behind the steady clock of Tick.h.
#ifndef RERODADA_PLATFORM_SYSTEMSLEEP_H
#define RERODADA_PLATFORM_SYSTEMSLEEP_H

#include <cstdint>

namespace rerodada::platform {

// Sleeps at least us, and not a timer tick more where the system allows.
void SystemSleep(uint64_t us);

} // namespace rerodada::platform

#endif
