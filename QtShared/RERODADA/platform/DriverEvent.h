// The event a USB driver library sets when bytes arrive (the argument of
// D2XX's FT_SetEventNotification): on Windows a Win32 auto-reset event,
// elsewhere the library's EVENT_HANDLE, a condition variable with its mutex.
#ifndef RERODADA_PLATFORM_DRIVEREVENT_H
#define RERODADA_PLATFORM_DRIVEREVENT_H

#include <cstdint>

namespace rerodada::platform {

class DriverEvent {
  public:
    DriverEvent();
    ~DriverEvent();
    DriverEvent(const DriverEvent&) = delete;
    DriverEvent& operator=(const DriverEvent&) = delete;

    // False when the system could not make one.
    bool Valid() const;
    // What the driver library is handed.
    void* DriverArgument();

    // Tells whether there is nothing to wait for (bytes already waiting, or
    // a failure the caller will meet on its next poll).
    class Check {
      public:
        virtual bool Ready() = 0;

      protected:
        ~Check() = default;
    };
    // Waits until the driver sets the event or ms pass, unless the check,
    // made so that a setting between it and the wait is not lost, finds
    // the wait needless.
    void Wait(uint32_t ms, Check& check);

  private:
    struct State;
    State* state;
};

} // namespace rerodada::platform

#endif
