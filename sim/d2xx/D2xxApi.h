// The D2XX functions served by the stand-in library, declared with the types
// they have on this platform, plus the library's test hooks.
#pragma once

#include <cstdint>

namespace podsim {
class Board;
}

namespace podsim::d2xx {

constexpr uint32_t kOk = 0;
constexpr uint32_t kInvalidHandle = 1;
constexpr uint32_t kDeviceNotFound = 2;
constexpr uint32_t kDeviceNotOpened = 3;
constexpr uint32_t kIoError = 4;
constexpr uint32_t kInvalidParameter = 6;
constexpr uint32_t kInvalidBaudRate = 7;

constexpr uint32_t kListNumberOnly = 0x80000000;
constexpr uint32_t kListByIndex = 0x40000000;
constexpr uint32_t kOpenBySerialNumber = 1;
constexpr uint32_t kOpenByDescription = 2;

constexpr uint32_t kPurgeRx = 1;
constexpr uint32_t kPurgeTx = 2;

constexpr uint32_t kEventRxChar = 1;

} // namespace podsim::d2xx

#if defined(_WIN32)
// FTD2XX.dll's functions are stdcall, exported under their plain names.
#define PODSIM_D2XX_EXPORT extern "C" __declspec(dllexport)
#define PODSIM_D2XX_CALL __stdcall
#else
#define PODSIM_D2XX_EXPORT extern "C" __attribute__((visibility("default")))
#define PODSIM_D2XX_CALL
#endif

PODSIM_D2XX_EXPORT uint32_t PODSIM_D2XX_CALL FT_ListDevices(void* pvArg1, void* pvArg2,
                                                            uint32_t flags);
PODSIM_D2XX_EXPORT uint32_t PODSIM_D2XX_CALL FT_Open(int index, void** handle);
PODSIM_D2XX_EXPORT uint32_t PODSIM_D2XX_CALL FT_GetDeviceInfo(void* handle, uint32_t* type,
                                                              uint32_t* id, char* serial,
                                                              char* description, void* dummy);
PODSIM_D2XX_EXPORT uint32_t PODSIM_D2XX_CALL FT_SetBaudRate(void* handle, uint32_t baud);
PODSIM_D2XX_EXPORT uint32_t PODSIM_D2XX_CALL FT_SetDataCharacteristics(void* handle,
                                                                       uint8_t wordLength,
                                                                       uint8_t stopBits,
                                                                       uint8_t parity);
PODSIM_D2XX_EXPORT uint32_t PODSIM_D2XX_CALL FT_SetFlowControl(void* handle, uint16_t mode,
                                                               uint8_t xon, uint8_t xoff);
PODSIM_D2XX_EXPORT uint32_t PODSIM_D2XX_CALL FT_SetTimeouts(void* handle, uint32_t readMs,
                                                            uint32_t writeMs);
PODSIM_D2XX_EXPORT uint32_t PODSIM_D2XX_CALL FT_Purge(void* handle, uint32_t mask);
PODSIM_D2XX_EXPORT uint32_t PODSIM_D2XX_CALL FT_SetDtr(void* handle);
PODSIM_D2XX_EXPORT uint32_t PODSIM_D2XX_CALL FT_ClrDtr(void* handle);
PODSIM_D2XX_EXPORT uint32_t PODSIM_D2XX_CALL FT_SetRts(void* handle);
PODSIM_D2XX_EXPORT uint32_t PODSIM_D2XX_CALL FT_ClrRts(void* handle);
PODSIM_D2XX_EXPORT uint32_t PODSIM_D2XX_CALL FT_GetModemStatus(void* handle, uint32_t* status);
PODSIM_D2XX_EXPORT uint32_t PODSIM_D2XX_CALL FT_GetStatus(void* handle, uint32_t* rxBytes,
                                                          uint32_t* txBytes, uint32_t* eventStatus);
PODSIM_D2XX_EXPORT uint32_t PODSIM_D2XX_CALL FT_Read(void* handle, void* buffer, uint32_t count,
                                                     uint32_t* bytesRead);
PODSIM_D2XX_EXPORT uint32_t PODSIM_D2XX_CALL FT_Write(void* handle, const void* buffer,
                                                      uint32_t count, uint32_t* bytesWritten);
PODSIM_D2XX_EXPORT uint32_t PODSIM_D2XX_CALL FT_Close(void* handle);
PODSIM_D2XX_EXPORT uint32_t PODSIM_D2XX_CALL FT_SetLatencyTimer(void* handle, uint8_t ms);
// With kEventRxChar in mask, event is set whenever received bytes become
// readable: on Windows it is an event HANDLE; elsewhere it points to the
// driver's EVENT_HANDLE { pthread_cond_t; pthread_mutex_t; int }, whose
// condition is signalled with its mutex held. A mask without it, or a null
// event, ends the notification; so does FT_Close.
PODSIM_D2XX_EXPORT uint32_t PODSIM_D2XX_CALL FT_SetEventNotification(void* handle, uint32_t mask,
                                                                     void* event);

// Test hooks. The board of device `index` (in configuration order), or null;
// it lives until the next reload.
PODSIM_D2XX_EXPORT podsim::Board* podsim_d2xx_board(unsigned index);
// Replaces every device with fresh ones built from config text (null or empty:
// defaults); open handles become invalid. 0 on success; -1 on a bad config,
// which leaves the devices as they were (see podsim_d2xx_error).
PODSIM_D2XX_EXPORT int podsim_d2xx_reload(const char* configText);
// The same from a file; null reads the file named by PODLINK_SIM_CONFIG again.
PODSIM_D2XX_EXPORT int podsim_d2xx_reload_file(const char* path);
PODSIM_D2XX_EXPORT const char* podsim_d2xx_error();
PODSIM_D2XX_EXPORT unsigned podsim_d2xx_device_count();
