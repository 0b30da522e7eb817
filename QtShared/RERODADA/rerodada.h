/*
 * RERODADA: the board-link library of the RAR4120E evaluation kit.
 *
 * Linux: librerodada.so exports every function declared here under its plain
 * name with C linkage.
 * Windows (32-bit): RERODADA.dll exports them with C linkage and __stdcall,
 * under decorated names: the name, "@" and the byte count of the arguments
 * (BrimBoardConnect@0, BrimBoardGetBanner@8). The Windows package's sdk folder
 * holds this header, the import library libRERODADA.dll.a for mingw-w64, and
 * RERODADA.def, the list of those names, from which Microsoft's tools make an
 * import library (lib /def:RERODADA.def /machine:x86 /out:RERODADA.lib).
 *
 * Results are 1 for success and 0 for failure (or a value or byte count);
 * output parameters are written only on success. Every function except the
 * few noted initialises the library on its first call.
 *
 * bool is one byte, as a result (only the low byte of EAX carries it) and as
 * a parameter. Callers in other languages must say so, or they read and pass
 * four-byte values. C#: [return: MarshalAs(UnmanagedType.I1)] on the function
 * and [MarshalAs(UnmanagedType.I1)] on each bool parameter, with the decorated
 * name as the entry point:
 *     [DllImport("RERODADA.dll", EntryPoint = "BrimBoardAutoPort@4")]
 *     [return: MarshalAs(UnmanagedType.I1)]
 *     static extern bool BrimBoardAutoPort([MarshalAs(UnmanagedType.I1)] bool flag);
 * Visual Basic: the same attributes, <MarshalAs(UnmanagedType.I1)>.
 */
#ifndef RERODADA_H
#define RERODADA_H

#include <stdint.h>
#ifndef __cplusplus
#include <stdbool.h>
#endif

#if defined(_WIN32)
#define RERODADA_CALL __stdcall
#if defined(RERODADA_BUILDING)
#define RERODADA_VISIBILITY __declspec(dllexport)
#else
#define RERODADA_VISIBILITY __declspec(dllimport)
#endif
#else
#define RERODADA_CALL
#define RERODADA_VISIBILITY __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
#define RERODADA_EXTERN_C extern "C"
#else
#define RERODADA_EXTERN_C
#endif

/* Declares an exported function: C linkage, default visibility, stdcall on Windows. */
#define RERODADA_API(ret) RERODADA_EXTERN_C RERODADA_VISIBILITY ret RERODADA_CALL

/* Receives each complete text written to the listing. */
typedef void(RERODADA_CALL* BrimLogCallbackFn)(const char* text);

/* ---- USB transport ---------------------------------------------------- */
RERODADA_API(bool) BrimSetUSB_Latency(uint8_t msec);

/* ---- Board control ---------------------------------------------------- */
RERODADA_API(bool) BrimBoardConnect(void);
RERODADA_API(bool) BrimBoardConnectAnyUSB(void);
RERODADA_API(bool) BrimBoardConnectAnyRS232(void);
RERODADA_API(void) BrimBoardDisconnect(void);
RERODADA_API(bool) BrimBoardConnected(void);
RERODADA_API(bool) BrimBoardAutoPort(bool flag);
RERODADA_API(int) BrimBoardSetPort(int port);
RERODADA_API(int) BrimBoardGetPort(void);
RERODADA_API(bool) BrimBoardGetPortName(char* buffer, uint32_t size);
RERODADA_API(void) BrimBoardPortListUpdate(void);
RERODADA_API(bool) BrimBoardAutoBaud(bool flag);
RERODADA_API(bool) BrimBoardGetAutoBaud(void);
RERODADA_API(bool) BrimBoardSetBaud(int baud);
RERODADA_API(uint32_t) BrimBoardGetBaud(void);
RERODADA_API(bool) BrimBoardGetBanner(char* buffer, uint32_t size);
RERODADA_API(void) BrimBoardReset(void);
RERODADA_API(bool) BrimBoardConfirmFirmwareVersion(uint8_t major, uint8_t minor, uint8_t build);
RERODADA_API(bool)
BrimBoardGetUSBDeviceInfo(uint16_t* vid, uint16_t* pid, char* serial, char* description);
RERODADA_API(void) BrimBoardBannerRequiresPrefix(const char* prefix);
RERODADA_API(void) BrimBoardBanner_GetRequiredPrefix(char* buffer, uint32_t size);
/* While stop is true, a board search gives up before its next USB device,
   serial port or baud rate and reports no board. Unlike every other function
   it may be called from another thread during a search, and it does not
   initialise the library. */
RERODADA_API(void) BrimBoardStopSearch(bool stop);
/* Receives the board search's progress lines: every line the search prints on
   standard output ("EnumeratePortsNext found serial port COM5", "Testing
   COM5", "Skipping COM2", "Trying port \\.\COM5 @ 115200 baud", ...),
   one call per line, without the line break and trailing blanks, empty lines
   left out. It is called on the thread that runs the search, while that
   search waits for it: it must return quickly and must not call any function
   of this library. context is the value given with it. */
typedef void(RERODADA_CALL* BrimSearchProgress)(const char* line, void* context);
/* Sets the progress callback of later searches; NULL removes it. Once this
   returns, the previous callback is not called any more. Like
   BrimBoardStopSearch it may be called from another thread and does not
   initialise the library. */
RERODADA_API(void) BrimBoardSetSearchProgress(BrimSearchProgress callback, void* context);

/* ---- Raw primitives, modem lines and pins ----------------------------- */
RERODADA_API(bool) ReroDada2ByteWrite(uint8_t b0, uint8_t b1, uint8_t rxMinCount);
RERODADA_API(bool) ReroDadaStringWrite(const uint8_t* data, uint32_t count, int rxMinCount);
RERODADA_API(bool)
ReroDadaStringWriteFramedByRTS(const uint8_t* data, int count, int rxMinCount, int frame);
RERODADA_API(const char*) ReroDadaStringRead(int count, uint32_t timeout_msec);
RERODADA_API(uint8_t) ReroDadaResultChar(uint32_t index);
RERODADA_API(uint32_t) ReroDadaResultCharCount(void);
RERODADA_API(void) ReroDadaRTS(uint32_t value);
RERODADA_API(bool) ReroDadaCTS(void);
RERODADA_API(bool) ReroDadaDSR(void);
RERODADA_API(bool) ReroDadaDCD(void);
RERODADA_API(bool) ReroDadaRI(void);
RERODADA_API(void) BrimPinWrite(uint32_t pin, uint32_t value);
RERODADA_API(bool) BrimPinRead(uint32_t pin);

/* ---- Diagnostic logs -------------------------------------------------- */
RERODADA_API(void) BrimLogComment(uint32_t status, const char* text);
RERODADA_API(void)
BrimLogData(uint32_t status, uint32_t count, const uint8_t* data, const char* text);
RERODADA_API(bool) BrimLogFileOpen(const char* fileName);
RERODADA_API(bool) BrimLogFileClose(void);
RERODADA_API(uint32_t) BrimLogFilter(const char* filter);
RERODADA_API(BrimLogCallbackFn) BrimLogCallback(BrimLogCallbackFn callback);
RERODADA_API(bool) CommLogListingFile_Open(const char* fileName);
RERODADA_API(bool) CommLogListingFile_Close(void);
RERODADA_API(bool) CommLogListingFile_IsOpen(void);
RERODADA_API(bool) CommDebugLogFile_Open(const char* fileName);
RERODADA_API(bool) CommDebugLogFile_Close(void);
RERODADA_API(bool) CommDebugLogFile_IsOpen(void);

/* ---- User-interface entry points: kept for callers, they do nothing --- */
RERODADA_API(int) BrimGUIShow(void);
RERODADA_API(int) BrimGUIHide(void);
RERODADA_API(int) BrimGUIVisible(void);
RERODADA_API(int) BrimGUIShowCom(bool show);
RERODADA_API(int) BrimGUIShowGPIO(bool show);
RERODADA_API(int) BrimGUIShow2wire(bool show);
RERODADA_API(int) BrimGUIShowSPI(bool show);
RERODADA_API(int) BrimGUIShowP8Bus(bool show);
RERODADA_API(int) BrimGUIShowLog(bool show);
RERODADA_API(int) BrimGUIShowScript(bool show);

/* ---- Firmware command set: capability probe -------------------------- */
RERODADA_API(int) BrimSupportsNativeSMBusCommands(void);

/* ---- SMBus transactions: dispatcher, portable and native forms -------- */
#define RERODADA_SMBUS_TRIPLE(ret, name, args)                                                     \
    RERODADA_API(ret) name args;                                                                   \
    RERODADA_API(ret) name##_portable args;                                                        \
    RERODADA_API(ret) name##_native args;

RERODADA_SMBUS_TRIPLE(uint32_t, BrimSMBusQuick, (uint8_t address))
RERODADA_SMBUS_TRIPLE(uint32_t, BrimSMBusSendByte, (uint8_t address, uint8_t command))
RERODADA_SMBUS_TRIPLE(uint32_t, BrimSMBusReceiveByte, (uint8_t address, uint8_t* value))
RERODADA_SMBUS_TRIPLE(uint32_t, BrimSMBusWriteByte,
                      (uint8_t address, uint8_t command, uint8_t value))
RERODADA_SMBUS_TRIPLE(uint32_t, BrimSMBusWriteWord,
                      (uint8_t address, uint8_t command, uint16_t value))
RERODADA_SMBUS_TRIPLE(uint32_t, BrimSMBusReadByte,
                      (uint8_t address, uint8_t command, uint8_t* value))
RERODADA_SMBUS_TRIPLE(uint32_t, BrimSMBusReadWord,
                      (uint8_t address, uint8_t command, uint16_t* value))
RERODADA_SMBUS_TRIPLE(uint32_t, BrimSMBusProcessCall,
                      (uint8_t address, uint8_t command, uint16_t value, uint16_t* result))
RERODADA_API(uint32_t) BrimSMBusAlertResponse(uint8_t* value);
RERODADA_API(uint32_t) BrimSMBusWriteToHost(uint8_t command, uint16_t value);

/* ---- Block transfers, PEC and group commands ------------------------- */
RERODADA_SMBUS_TRIPLE(uint32_t, BrimSMBusWriteBlock,
                      (uint8_t address, uint8_t command, uint32_t count, const uint8_t* data))
RERODADA_SMBUS_TRIPLE(uint32_t, BrimSMBusReadBlock,
                      (uint8_t address, uint8_t command, uint8_t* count, uint8_t* buffer,
                       uint32_t bufferSize))
RERODADA_SMBUS_TRIPLE(uint32_t, BrimSMBusReadBlockPEC,
                      (uint8_t address, uint8_t command, uint8_t* count, uint8_t* buffer,
                       uint32_t bufferSize))
RERODADA_SMBUS_TRIPLE(uint32_t, BrimI2CWriteAndReadBytes,
                      (uint8_t address, uint32_t writeCount, uint32_t readCount,
                       const uint8_t* writeData, uint8_t* readBuffer, uint32_t* receivedCount))
RERODADA_API(uint32_t)
BrimPMBusGroupCommand(uint8_t deviceCount, const uint8_t* addresses, const uint8_t* writeCounts,
                      const uint8_t* hasPEC, const uint8_t* const* writeData);
RERODADA_API(uint8_t) PEC_crc8(const uint8_t* data, uint32_t length, uint8_t crc);

/* ---- SPI and P8 bus --------------------------------------------------- */
RERODADA_API(uint32_t) BrimSpiConfigSCKPin(uint32_t pin);
RERODADA_API(uint32_t) BrimSpiConfigMOSIPin(uint32_t pin);
RERODADA_API(uint32_t) BrimSpiConfigMISOPin(uint32_t pin);
RERODADA_API(uint32_t) BrimSpiConfigCSPin(uint32_t pin);
RERODADA_API(uint32_t) BrimSpiConfigCSPinActiveHigh(uint8_t activeHigh);
RERODADA_API(uint32_t) BrimSpiConfigCpolCpha(uint32_t cpol, uint32_t cpha);
RERODADA_API(uint32_t) BrimSpiConfigMSBFirst(uint8_t msbFirst);
RERODADA_API(uint32_t) BrimSpiConfigSCKSpeedKhz(int32_t kHz);
RERODADA_API(uint32_t) BrimSPISetSpeed(uint8_t descriptor);
RERODADA_API(uint8_t) BrimSpiByte(int32_t byte);
RERODADA_SMBUS_TRIPLE(uint32_t, BrimSpiTransfer,
                      (uint32_t count, const uint8_t* mosi, uint8_t* miso))
RERODADA_API(uint32_t) BrimSpiCsAssert(void);
RERODADA_API(uint32_t) BrimSpiCsNegate(void);
RERODADA_API(uint32_t) BrimP8BusConfigure(uint8_t config);
RERODADA_API(uint32_t) BrimP8BusWrite(uint8_t address, uint8_t data);
RERODADA_API(uint8_t) BrimP8BusRead(uint8_t address);

/* ---- Bus speed, timing options and frequency descriptors -------------- */
RERODADA_API(uint8_t) BRIM_Frequency_Descriptor_of_usec(double usec);
RERODADA_API(uint8_t) BRIM_Frequency_Descriptor_of_MHz(double MHz);
/* Both fill text (at least 32 characters) and return it. */
RERODADA_API(char*) BrimFrequencyToString(uint8_t descriptor, char* text);
RERODADA_API(char*) BrimPeriodToString(uint8_t descriptor, char* text);
RERODADA_API(uint32_t) BrimI2CSetSpeed(uint8_t descriptor);
RERODADA_API(uint32_t) BrimI2CClockStretchDisable(uint8_t disable);
RERODADA_API(uint8_t) BrimI2CGetClockStretchOption(void);
RERODADA_API(uint32_t) BRIMI2C_timing_Adjust_Get(uint8_t option, uint8_t* value);
RERODADA_API(uint32_t) BRIMI2C_timing_Adjust_Set(uint8_t option, uint8_t value);
RERODADA_API(uint32_t) BrimScriptExecEx(uint8_t scriptOffset, uint8_t repeatCount, uint8_t flags);

#undef RERODADA_SMBUS_TRIPLE

#ifdef __cplusplus
/* Exported under its C++ (type-decorated) name, as callers of the serial
 * command module expect. */
RERODADA_VISIBILITY int RERODADA_CALL evTarn232SetComPortSpeed(unsigned int baud);
#endif

#endif /* RERODADA_H */
