// The board's USB chip reached through the operating system's own driver
// (on Linux the kernel's ftdi_sio and its /dev/ttyUSBn), answering the D2XX
// calls of the USB transport, so that the board works with no vendor
// library installed.
#ifndef RERODADA_KERNELFTDI_H
#define RERODADA_KERNELFTDI_H

#include "FTDI_DLL.h"
#include "platform/SerialPort.h"
#include "platform/UsbTty.h"

#include <vector>

namespace rerodada {

class KernelFtdi : public FtdiApi {
  public:
    FT_STATUS FT_ListDevices(void* count, void* unused, uint32_t flags) override;
    FT_STATUS FT_Open(int index, FT_HANDLE* handle) override;
    FT_STATUS FT_GetDeviceInfo(FT_HANDLE h, uint32_t* type, uint32_t* id, char* serial,
                               char* description, void* unused) override;
    FT_STATUS FT_SetBaudRate(FT_HANDLE h, uint32_t baud) override;
    FT_STATUS FT_SetDataCharacteristics(FT_HANDLE h, uint8_t bits, uint8_t stop,
                                        uint8_t parity) override;
    FT_STATUS FT_SetFlowControl(FT_HANDLE h, uint16_t mode, uint8_t xon, uint8_t xoff) override;
    FT_STATUS FT_SetTimeouts(FT_HANDLE h, uint32_t readMs, uint32_t writeMs) override;
    FT_STATUS FT_Purge(FT_HANDLE h, uint32_t mask) override;
    FT_STATUS FT_SetDtr(FT_HANDLE h) override;
    FT_STATUS FT_ClrDtr(FT_HANDLE h) override;
    FT_STATUS FT_SetRts(FT_HANDLE h) override;
    FT_STATUS FT_ClrRts(FT_HANDLE h) override;
    FT_STATUS FT_GetModemStatus(FT_HANDLE h, uint32_t* status) override;
    FT_STATUS FT_GetStatus(FT_HANDLE h, uint32_t* rx, uint32_t* tx, uint32_t* event) override;
    FT_STATUS FT_Read(FT_HANDLE h, void* buffer, uint32_t count, uint32_t* got) override;
    FT_STATUS FT_Write(FT_HANDLE h, const void* buffer, uint32_t count, uint32_t* written) override;
    FT_STATUS FT_Close(FT_HANDLE h) override;
    FT_STATUS FT_SetLatencyTimer(FT_HANDLE h, uint8_t ms) override;
    void WaitForBytes(FT_HANDLE h, uint32_t ms, uint32_t lineUs) override;

    // The tty of the open device; empty when none is open.
    const std::string& Path() const { return device.path; }

  private:
    bool Is(FT_HANDLE h) const;
    FT_STATUS ApplyLine();
    FT_STATUS Line(platform::SerialResult result);

    platform::SerialHandle fd = platform::kInvalidSerialHandle;
    platform::UsbTtyInfo device;
    platform::SerialLine line;
    // FT_SetTimeouts's write time-out; 0 until set: a limit that grows with the count.
    uint32_t writeTimeoutMs = 0;
    // What a status query found waiting, handed out by the reads after it.
    std::vector<uint8_t> received;
};

KernelFtdi& TheKernelFtdi();

} // namespace rerodada

#endif
