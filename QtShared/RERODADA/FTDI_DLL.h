// Run-time binding to the D2XX USB driver interface.
#ifndef RERODADA_FTDI_DLL_H
#define RERODADA_FTDI_DLL_H

#include "Logs.h"
#include "platform/DriverEvent.h"
#include "platform/DynamicLibrary.h"

#include <cstdint>

namespace rerodada {

// The driver's C types, declared from its documented interface.
using FT_HANDLE = void*;
using FT_STATUS = uint32_t;
constexpr FT_STATUS FT_OK = 0;
constexpr uint32_t FT_LIST_NUMBER_ONLY = 0x80000000;
constexpr uint32_t FT_PURGE_RX = 1;
constexpr uint32_t FT_PURGE_TX = 2;
constexpr uint16_t FT_FLOW_RTS_CTS = 0x0100;
constexpr uint32_t FT_EVENT_RXCHAR = 1;

#if defined(_WIN32)
#define RERODADA_FT_CALL __stdcall
#else
#define RERODADA_FT_CALL
#endif

constexpr FT_STATUS FT_INVALID_HANDLE = 1;
constexpr FT_STATUS FT_DEVICE_NOT_FOUND = 2;
constexpr FT_STATUS FT_DEVICE_NOT_OPENED = 3;
constexpr FT_STATUS FT_IO_ERROR = 4;
constexpr FT_STATUS FT_INVALID_BAUD_RATE = 7;
constexpr FT_STATUS FT_NOT_SUPPORTED = 17;

const char* FtStatusName(FT_STATUS status);

// The D2XX calls the USB transport makes, whoever answers them: the vendor's
// library, or the operating system's own driver of the chip.
class FtdiApi {
  public:
    virtual ~FtdiApi() = default;
    virtual FT_STATUS FT_ListDevices(void* arg1, void* arg2, uint32_t flags) = 0;
    virtual FT_STATUS FT_Open(int index, FT_HANDLE* handle) = 0;
    virtual FT_STATUS FT_GetDeviceInfo(FT_HANDLE h, uint32_t* type, uint32_t* id, char* serial,
                                       char* description, void* dummy) = 0;
    virtual FT_STATUS FT_SetBaudRate(FT_HANDLE h, uint32_t baud) = 0;
    virtual FT_STATUS FT_SetDataCharacteristics(FT_HANDLE h, uint8_t bits, uint8_t stop,
                                                uint8_t parity) = 0;
    virtual FT_STATUS FT_SetFlowControl(FT_HANDLE h, uint16_t mode, uint8_t xon, uint8_t xoff) = 0;
    virtual FT_STATUS FT_SetTimeouts(FT_HANDLE h, uint32_t readMs, uint32_t writeMs) = 0;
    virtual FT_STATUS FT_Purge(FT_HANDLE h, uint32_t mask) = 0;
    virtual FT_STATUS FT_SetDtr(FT_HANDLE h) = 0;
    virtual FT_STATUS FT_ClrDtr(FT_HANDLE h) = 0;
    virtual FT_STATUS FT_SetRts(FT_HANDLE h) = 0;
    virtual FT_STATUS FT_ClrRts(FT_HANDLE h) = 0;
    virtual FT_STATUS FT_GetModemStatus(FT_HANDLE h, uint32_t* status) = 0;
    virtual FT_STATUS FT_GetStatus(FT_HANDLE h, uint32_t* rx, uint32_t* tx, uint32_t* event) = 0;
    virtual FT_STATUS FT_Read(FT_HANDLE h, void* buffer, uint32_t count, uint32_t* got) = 0;
    virtual FT_STATUS FT_Write(FT_HANDLE h, const void* buffer, uint32_t count,
                               uint32_t* written) = 0;
    virtual FT_STATUS FT_Close(FT_HANDLE h) = 0;
    virtual FT_STATUS FT_SetLatencyTimer(FT_HANDLE h, uint8_t ms) = 0;
    // Waits, after a poll that found none, until bytes arrive or ms pass;
    // lineUs is the time the bytes still expected take on the line.
    virtual void WaitForBytes(FT_HANDLE h, uint32_t ms, uint32_t lineUs) = 0;
};

// A library loaded at run time whose functions are looked up on every call;
// a missing library or function yields 0 without calling anything.
class Dynamic_Link {
  public:
    explicit Dynamic_Link(const char* fileName);
    Dynamic_Link(const Dynamic_Link&) = delete;
    Dynamic_Link& operator=(const Dynamic_Link&) = delete;
    bool Loaded() const { return module != nullptr; }
    // Whether the library has the function: Call cannot tell a missing one
    // from one that succeeded.
    bool Has(const char* name) const {
        return module && platform::LibrarySymbol(module, name) != nullptr;
    }
    const char* FileName() const { return fileName; }

  protected:
    template <typename... Args> uint32_t Call(const char* name, Args... args) {
        if (!module) return 0;
        void* entry = platform::LibrarySymbol(module, name);
        if (!entry) {
            RERODADA_TRACE("GetProcAddress(%s, %s) failed", fileName, name);
            return 0;
        }
        using Fn = uint32_t(RERODADA_FT_CALL*)(Args...);
        return reinterpret_cast<Fn>(entry)(args...);
    }

  private:
    const char* fileName;
    void* module;
};

class FTDI_DLL : public Dynamic_Link, public FtdiApi {
  public:
    // The library RERODADA_D2XX_LIBRARY names, or else the vendor's.
    FTDI_DLL();
    explicit FTDI_DLL(const char* fileName);
    FT_STATUS FT_ListDevices(void* arg1, void* arg2, uint32_t flags) override {
        return Call("FT_ListDevices", arg1, arg2, flags);
    }
    FT_STATUS FT_Open(int index, FT_HANDLE* handle) override {
        return Call("FT_Open", index, handle);
    }
    FT_STATUS FT_GetDeviceInfo(FT_HANDLE h, uint32_t* type, uint32_t* id, char* serial,
                               char* description, void* dummy) override {
        return Call("FT_GetDeviceInfo", h, type, id, serial, description, dummy);
    }
    FT_STATUS FT_SetBaudRate(FT_HANDLE h, uint32_t baud) override {
        return Call("FT_SetBaudRate", h, baud);
    }
    FT_STATUS FT_SetDataCharacteristics(FT_HANDLE h, uint8_t bits, uint8_t stop,
                                        uint8_t parity) override {
        return Call("FT_SetDataCharacteristics", h, bits, stop, parity);
    }
    FT_STATUS FT_SetFlowControl(FT_HANDLE h, uint16_t mode, uint8_t xon, uint8_t xoff) override {
        return Call("FT_SetFlowControl", h, mode, xon, xoff);
    }
    FT_STATUS FT_SetTimeouts(FT_HANDLE h, uint32_t readMs, uint32_t writeMs) override {
        return Call("FT_SetTimeouts", h, readMs, writeMs);
    }
    FT_STATUS FT_Purge(FT_HANDLE h, uint32_t mask) override { return Call("FT_Purge", h, mask); }
    FT_STATUS FT_SetDtr(FT_HANDLE h) override { return Call("FT_SetDtr", h); }
    FT_STATUS FT_ClrDtr(FT_HANDLE h) override { return Call("FT_ClrDtr", h); }
    FT_STATUS FT_SetRts(FT_HANDLE h) override { return Call("FT_SetRts", h); }
    FT_STATUS FT_ClrRts(FT_HANDLE h) override { return Call("FT_ClrRts", h); }
    FT_STATUS FT_GetModemStatus(FT_HANDLE h, uint32_t* status) override {
        return Call("FT_GetModemStatus", h, status);
    }
    FT_STATUS FT_GetStatus(FT_HANDLE h, uint32_t* rx, uint32_t* tx, uint32_t* event) override {
        return Call("FT_GetStatus", h, rx, tx, event);
    }
    FT_STATUS FT_Read(FT_HANDLE h, void* buffer, uint32_t count, uint32_t* got) override {
        return Call("FT_Read", h, buffer, count, got);
    }
    FT_STATUS FT_Write(FT_HANDLE h, const void* buffer, uint32_t count,
                       uint32_t* written) override {
        return Call("FT_Write", h, buffer, count, written);
    }
    FT_STATUS FT_Close(FT_HANDLE h) override;
    FT_STATUS FT_SetLatencyTimer(FT_HANDLE h, uint8_t ms) override {
        return Call("FT_SetLatencyTimer", h, ms);
    }
    void WaitForBytes(FT_HANDLE h, uint32_t ms, uint32_t lineUs) override;

  private:
    // Whether the driver sets rxEvent when bytes arrive for h; asks it to on
    // the first wait of each opened device.
    bool Notifies(FT_HANDLE h);

    platform::DriverEvent rxEvent;
    FT_HANDLE notifying = nullptr;
    FT_HANDLE refused = nullptr;
};

// Created by the library's initialisation; never released.
extern FTDI_DLL* TheFTDIdll;

} // namespace rerodada

#endif
