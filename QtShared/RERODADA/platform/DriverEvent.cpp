#include "platform/DriverEvent.h"

#include <ctime>
#include <pthread.h>

namespace rerodada::platform {

// The layout the driver library signals, from its programmer's guide.
struct DriverEvent::State {
    pthread_cond_t eCondVar;
    pthread_mutex_t eMutex;
    int iVar;
    bool valid;
};

DriverEvent::DriverEvent() : state(new State{}) {
    // The deadline is on the monotonic clock, which a change of the
    // system's time does not move.
    pthread_condattr_t attributes;
    pthread_condattr_init(&attributes);
    pthread_condattr_setclock(&attributes, CLOCK_MONOTONIC);
    state->valid = pthread_cond_init(&state->eCondVar, &attributes) == 0 &&
                   pthread_mutex_init(&state->eMutex, nullptr) == 0;
    pthread_condattr_destroy(&attributes);
}

DriverEvent::~DriverEvent() {
    pthread_cond_destroy(&state->eCondVar);
    pthread_mutex_destroy(&state->eMutex);
    delete state;
}

bool DriverEvent::Valid() const {
    return state->valid;
}

void* DriverEvent::DriverArgument() {
    return state;
}

void DriverEvent::Wait(uint32_t ms, Check& check) {
    timespec due{};
    clock_gettime(CLOCK_MONOTONIC, &due);
    due.tv_sec += static_cast<time_t>(ms / 1000);
    due.tv_nsec += static_cast<long>(ms % 1000) * 1000000;
    if (due.tv_nsec >= 1000000000) {
        due.tv_sec += 1;
        due.tv_nsec -= 1000000000;
    }
    // Checked under the mutex the driver signals with, so bytes that arrive
    // after the check wake the wait; a spurious wake-up costs one more poll.
    pthread_mutex_lock(&state->eMutex);
    if (!check.Ready()) pthread_cond_timedwait(&state->eCondVar, &state->eMutex, &due);
    pthread_mutex_unlock(&state->eMutex);
}

} // namespace rerodada::platform
