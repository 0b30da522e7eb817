#include "FTDI_DLL.h"

#include "platform/Tick.h"

#include <algorithm>
#include <cstdlib>
#include <string>

namespace rerodada {

FTDI_DLL* TheFTDIdll = nullptr;

namespace {

const char* DriverFileName() {
    static std::string chosen;
    if (platform::LibraryFromEnvironment("RERODADA_D2XX_LIBRARY", &chosen)) return chosen.c_str();
#if defined(_WIN32)
    return "FTD2XX.dll";
#else
    return "libftd2xx.so";
#endif
}

} // namespace

const char* FtStatusName(FT_STATUS status) {
    static const char* const names[] = {"FT_OK",
                                        "FT_INVALID_HANDLE",
                                        "FT_DEVICE_NOT_FOUND",
                                        "FT_DEVICE_NOT_OPENED",
                                        "FT_IO_ERROR",
                                        "FT_INSUFFICIENT_RESOURCES",
                                        "FT_INVALID_PARAMETER",
                                        "FT_INVALID_BAUD_RATE",
                                        "FT_DEVICE_NOT_OPENED_FOR_ERASE",
                                        "FT_DEVICE_NOT_OPENED_FOR_WRITE",
                                        "FT_FAILED_TO_WRITE_DEVICE",
                                        "FT_EEPROM_READ_FAILED",
                                        "FT_EEPROM_WRITE_FAILED",
                                        "FT_EEPROM_ERASE_FAILED",
                                        "FT_EEPROM_NOT_PRESENT",
                                        "FT_EEPROM_NOT_PROGRAMMED",
                                        "FT_INVALID_ARGS",
                                        "FT_NOT_SUPPORTED"};
    return status < sizeof names / sizeof names[0] ? names[status] : "FT_OTHER_ERROR";
}

Dynamic_Link::Dynamic_Link(const char* name) : fileName(name), module(platform::LibraryLoad(name)) {
    if (module) {
        RERODADA_TRACE("Dynamic_Link LoadLibrary(%s) = 0x%4.4x", fileName,
                       static_cast<unsigned>(reinterpret_cast<uintptr_t>(module)));
    } else {
        RERODADA_TRACE("Dynamic_Link missing %s (%s)", fileName, platform::LibraryError().c_str());
    }
}

FTDI_DLL::FTDI_DLL() : FTDI_DLL(DriverFileName()) {}

FTDI_DLL::FTDI_DLL(const char* fileName) : Dynamic_Link(fileName) {}

FT_STATUS FTDI_DLL::FT_Close(FT_HANDLE h) {
    // The next device opened may get the same handle, and is asked again.
    if (h == notifying) notifying = nullptr;
    if (h == refused) refused = nullptr;
    return Call("FT_Close", h);
}

bool FTDI_DLL::Notifies(FT_HANDLE h) {
    if (h == notifying) return true;
    if (h == refused) return false;
    FT_STATUS status = FT_NOT_SUPPORTED;
    if (rxEvent.Valid() && Has("FT_SetEventNotification"))
        status = Call("FT_SetEventNotification", h, FT_EVENT_RXCHAR, rxEvent.DriverArgument());
    if (status != FT_OK) {
        RERODADA_TRACE("no receive notification (%s): reads sleep between polls",
                       FtStatusName(status));
        refused = h;
        return false;
    }
    notifying = h;
    return true;
}

void FTDI_DLL::WaitForBytes(FT_HANDLE h, uint32_t ms, uint32_t lineUs) {
    if (!Notifies(h)) {
        // Without the driver's event, the read sleeps for the time the bytes
        // it still expects take on the line, or to the time-out if that is
        // nearer: never a fixed short sleep, which some systems stretch to
        // a whole timer tick.
        uint64_t limit = uint64_t{ms} * 1000;
        platform::SleepMicroseconds(
            static_cast<uint32_t>(lineUs > 0 ? std::min<uint64_t>(lineUs, limit) : limit));
        return;
    }
    struct QueueEmpty final : platform::Event, platform::DriverEvent::Check {
        QueueEmpty(FTDI_DLL& d, FT_HANDLE handle) : dll(d), h(handle) {}
        bool Ready() override {
            uint32_t rx = 0, tx = 0, event = 0;
            return dll.FT_GetStatus(h, &rx, &tx, &event) != FT_OK || rx > 0;
        }
        void Wait(uint32_t ms) override { dll.rxEvent.Wait(ms, *this); }
        FTDI_DLL& dll;
        FT_HANDLE h;
    } queue(*this, h);
    platform::AwaitEvent(queue, ms);
}

} // namespace rerodada
