#include "KernelFtdi.h"

#include "Logs.h"
#include "RS232_Connection.h"

#include <algorithm>
#include <cstring>

namespace rerodada {

using namespace platform;

namespace {

// The D2XX texts fit 16 characters of serial number and 64 of description.
constexpr size_t kSerialSize = 16;
constexpr size_t kDescriptionSize = 64;
constexpr uint32_t kUnknownChip = 0xFF;
constexpr size_t kReceiveChunk = 4096;

FT_HANDLE HandleOf(SerialHandle fd) {
    return reinterpret_cast<FT_HANDLE>(static_cast<uintptr_t>(fd));
}

void CopyText(char* to, const std::string& from, size_t size) {
    if (!to) return;
    size_t n = std::min(from.size(), size - 1);
    memcpy(to, from.data(), n);
    to[n] = 0;
}

} // namespace

KernelFtdi& TheKernelFtdi() {
    static KernelFtdi instance;
    return instance;
}

bool KernelFtdi::Is(FT_HANDLE h) const {
    return fd != kInvalidSerialHandle && h == HandleOf(fd);
}

FT_STATUS KernelFtdi::FT_ListDevices(void* count, void*, uint32_t flags) {
    if (flags != FT_LIST_NUMBER_ONLY || !count) return FT_NOT_SUPPORTED;
    *static_cast<uint32_t*>(count) = static_cast<uint32_t>(UsbTtyListPorts().size());
    return FT_OK;
}

FT_STATUS KernelFtdi::FT_Open(int index, FT_HANDLE* handle) {
    std::vector<UsbTtyInfo> devices = UsbTtyListPorts();
    if (index < 0 || static_cast<size_t>(index) >= devices.size()) return FT_DEVICE_NOT_FOUND;
    if (fd != kInvalidSerialHandle) return FT_DEVICE_NOT_OPENED;
    const UsbTtyInfo& chosen = devices[static_cast<size_t>(index)];
    SerialHandle opened = OpenForLink(chosen.path);
    if (opened == kInvalidSerialHandle) return FT_DEVICE_NOT_OPENED;
    fd = opened;
    device = chosen;
    line = SerialLine();
    writeTimeoutMs = 0;
    received.clear();
    RERODADA_TRACE("%s reached through the kernel driver", device.path.c_str());
    *handle = HandleOf(fd);
    return FT_OK;
}

FT_STATUS KernelFtdi::FT_GetDeviceInfo(FT_HANDLE h, uint32_t* type, uint32_t* id, char* serial,
                                       char* description, void*) {
    if (!Is(h)) return FT_INVALID_HANDLE;
    // The driver does not tell the chip's type.
    if (type) *type = kUnknownChip;
    if (id) *id = static_cast<uint32_t>(device.vendorId) << 16 | device.productId;
    CopyText(serial, device.serialNumber, kSerialSize);
    CopyText(description, device.description, kDescriptionSize);
    return FT_OK;
}

FT_STATUS KernelFtdi::ApplyLine() {
    return SerialSetLine(fd, line) ? FT_OK : FT_INVALID_BAUD_RATE;
}

FT_STATUS KernelFtdi::FT_SetBaudRate(FT_HANDLE h, uint32_t baud) {
    if (!Is(h)) return FT_INVALID_HANDLE;
    line.baud = baud;
    return ApplyLine();
}

FT_STATUS KernelFtdi::FT_SetDataCharacteristics(FT_HANDLE h, uint8_t bits, uint8_t stop,
                                                uint8_t parity) {
    if (!Is(h)) return FT_INVALID_HANDLE;
    // The serial layer offers 8 data bits without parity, all the board uses.
    if (bits != 8 || parity != 0) return FT_NOT_SUPPORTED;
    line.stopBits = stop == 2 ? 2 : 1;
    return ApplyLine() == FT_OK ? FT_OK : FT_IO_ERROR;
}

FT_STATUS KernelFtdi::FT_SetFlowControl(FT_HANDLE h, uint16_t mode, uint8_t, uint8_t) {
    if (!Is(h)) return FT_INVALID_HANDLE;
    if (mode != 0 && mode != FT_FLOW_RTS_CTS) return FT_NOT_SUPPORTED;
    line.rtsCtsFlow = mode == FT_FLOW_RTS_CTS;
    return ApplyLine() == FT_OK ? FT_OK : FT_IO_ERROR;
}

FT_STATUS KernelFtdi::FT_SetTimeouts(FT_HANDLE h, uint32_t, uint32_t writeMs) {
    // Reads never block here; a write fails as the library's does, after the
    // write time-out.
    if (!Is(h)) return FT_INVALID_HANDLE;
    writeTimeoutMs = writeMs;
    return FT_OK;
}

FT_STATUS KernelFtdi::FT_Purge(FT_HANDLE h, uint32_t mask) {
    if (!Is(h)) return FT_INVALID_HANDLE;
    if (mask & FT_PURGE_RX) received.clear();
    bool ok = SerialPurge(fd, (mask & FT_PURGE_RX) != 0, (mask & FT_PURGE_TX) != 0);
    return ok ? FT_OK : FT_IO_ERROR;
}

FT_STATUS KernelFtdi::Line(SerialResult result) {
    return result == SerialResult::Failed ? FT_IO_ERROR : FT_OK;
}

FT_STATUS KernelFtdi::FT_SetDtr(FT_HANDLE h) {
    return Is(h) ? Line(SerialSetDtr(fd, true)) : FT_INVALID_HANDLE;
}

FT_STATUS KernelFtdi::FT_ClrDtr(FT_HANDLE h) {
    return Is(h) ? Line(SerialSetDtr(fd, false)) : FT_INVALID_HANDLE;
}

FT_STATUS KernelFtdi::FT_SetRts(FT_HANDLE h) {
    return Is(h) ? Line(SerialSetRts(fd, true)) : FT_INVALID_HANDLE;
}

FT_STATUS KernelFtdi::FT_ClrRts(FT_HANDLE h) {
    return Is(h) ? Line(SerialSetRts(fd, false)) : FT_INVALID_HANDLE;
}

FT_STATUS KernelFtdi::FT_GetModemStatus(FT_HANDLE h, uint32_t* status) {
    if (!Is(h)) return FT_INVALID_HANDLE;
    uint32_t bits = 0;
    SerialResult result = SerialModemStatus(fd, &bits);
    if (result == SerialResult::Failed) return FT_IO_ERROR;
    *status = result == SerialResult::Ok ? bits : 0;
    return FT_OK;
}

FT_STATUS KernelFtdi::FT_GetStatus(FT_HANDLE h, uint32_t* rx, uint32_t* tx, uint32_t* event) {
    if (!Is(h)) return FT_INVALID_HANDLE;
    uint8_t chunk[kReceiveChunk];
    long n = SerialReadAvailable(fd, chunk, sizeof chunk);
    if (n < 0) {
        int error = SerialLastError();
        RERODADA_TRACE("%s: device lost: %s", device.path.c_str(), SerialErrorText(error).c_str());
        return FT_IO_ERROR;
    }
    received.insert(received.end(), chunk, chunk + n);
    *rx = static_cast<uint32_t>(received.size());
    *tx = 0;
    *event = 0;
    return FT_OK;
}

FT_STATUS KernelFtdi::FT_Read(FT_HANDLE h, void* buffer, uint32_t count, uint32_t* got) {
    if (!Is(h)) return FT_INVALID_HANDLE;
    uint32_t n = std::min(count, static_cast<uint32_t>(received.size()));
    memcpy(buffer, received.data(), n);
    received.erase(received.begin(), received.begin() + n);
    *got = n;
    return FT_OK;
}

FT_STATUS KernelFtdi::FT_Write(FT_HANDLE h, const void* buffer, uint32_t count, uint32_t* written) {
    if (!Is(h)) return FT_INVALID_HANDLE;
    *written = 0;
    if (SerialWrite(fd, static_cast<const uint8_t*>(buffer), count, line.baud, writeTimeoutMs)) {
        *written = count;
        return FT_OK;
    }
    int error = SerialLastError();
    RERODADA_TRACE("%s: %s", device.path.c_str(), WriteFailure(fd, error, line.rtsCtsFlow).c_str());
    if (!SerialTimedOut(error)) return FT_IO_ERROR;
    // As the library's write time-out: nothing counted as written, and the
    // bytes still queued do not go out ahead of the next request.
    SerialPurge(fd, false, true);
    return FT_OK;
}

FT_STATUS KernelFtdi::FT_Close(FT_HANDLE h) {
    if (!Is(h)) return FT_INVALID_HANDLE;
    SerialClose(fd);
    fd = kInvalidSerialHandle;
    device = UsbTtyInfo();
    received.clear();
    return FT_OK;
}

FT_STATUS KernelFtdi::FT_SetLatencyTimer(FT_HANDLE h, uint8_t ms) {
    if (!Is(h)) return FT_INVALID_HANDLE;
    switch (UsbTtySetLatency(device, fd, ms)) {
    case UsbTtyLatency::Timer:
        return FT_OK;
    case UsbTtyLatency::LowLatencyMode:
        RERODADA_TRACE("latency_timer of %s cannot be written: the driver's low-latency mode "
                       "instead",
                       device.path.c_str());
        return FT_OK;
    case UsbTtyLatency::Failed:
        break;
    }
    RERODADA_TRACE("%s: neither latency_timer nor low-latency mode can be set",
                   device.path.c_str());
    return FT_NOT_SUPPORTED;
}

void KernelFtdi::WaitForBytes(FT_HANDLE h, uint32_t ms, uint32_t) {
    if (Is(h) && received.empty()) SerialWaitReadable(fd, ms);
}

} // namespace rerodada
