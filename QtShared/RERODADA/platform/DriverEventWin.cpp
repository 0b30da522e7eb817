#include "platform/DriverEvent.h"

#include <windows.h>

namespace rerodada::platform {

struct DriverEvent::State {
    HANDLE event;
};

DriverEvent::DriverEvent() : state(new State{CreateEventA(nullptr, FALSE, FALSE, nullptr)}) {}

DriverEvent::~DriverEvent() {
    if (state->event) CloseHandle(state->event);
    delete state;
}

bool DriverEvent::Valid() const {
    return state->event != nullptr;
}

void* DriverEvent::DriverArgument() {
    return state->event;
}

void DriverEvent::Wait(uint32_t ms, Check& check) {
    // A setting left from bytes that an earlier poll already took would end
    // the wait at once: cleared first, then the queue checked, so that
    // bytes arriving after the check set the event again.
    ResetEvent(state->event);
    if (!check.Ready()) WaitForSingleObject(state->event, ms);
}

} // namespace rerodada::platform
