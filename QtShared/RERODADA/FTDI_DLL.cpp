#include "FTDI_DLL.h"

#include "platform/Tick.h"

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

FTDI_DLL::FTDI_DLL() : Dynamic_Link(DriverFileName()) {}

void FTDI_DLL::WaitForBytes(FT_HANDLE, uint32_t) {
    // The library has no wait; a short sleep keeps a waiting read off the
    // processor without stretching a reply by more than this.
    platform::SleepMicroseconds(200);
}

} // namespace rerodada
