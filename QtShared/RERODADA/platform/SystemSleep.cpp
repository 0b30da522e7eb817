#include "platform/SystemSleep.h"

#include <chrono>
#include <thread>

namespace rerodada::platform {

void SystemSleep(uint64_t us) {
    std::this_thread::sleep_for(std::chrono::microseconds(us));
}

} // namespace rerodada::platform
