// The operating system's serial-port interface, reduced to what the RS-232
// transport needs: open, line settings, modem lines, purge, non-blocking
// read, write, wait, close, and the listing of present ports.
#ifndef RERODADA_PLATFORM_SERIALPORT_H
#define RERODADA_PLATFORM_SERIALPORT_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace rerodada::platform {

using SerialHandle = int;
constexpr SerialHandle kInvalidSerialHandle = -1;

// Modem status bits, in the values the transport reports.
constexpr uint32_t kModemCTS = 0x10;
constexpr uint32_t kModemDSR = 0x20;
constexpr uint32_t kModemRING = 0x40;
constexpr uint32_t kModemRLSD = 0x80;

enum class SerialResult { Ok, NotSupported, Failed };

// Opens without becoming the controlling terminal, non-blocking and in raw
// mode, so that nothing the board sends is echoed back to it.
SerialHandle SerialOpen(const char* path);
void SerialClose(SerialHandle handle);
// Raw 8N1, no hardware or software flow control.
bool SerialSetLine(SerialHandle handle, uint32_t baud);
SerialResult SerialSetDtr(SerialHandle handle, bool on);
SerialResult SerialSetRts(SerialHandle handle, bool on);
SerialResult SerialModemStatus(SerialHandle handle, uint32_t* status);
bool SerialPurge(SerialHandle handle, bool receive, bool transmit);
// Bytes buffered right now, without blocking; -1 on error.
long SerialReadAvailable(SerialHandle handle, uint8_t* buffer, size_t room);
// Sends all bytes; returns the number sent, -1 on error.
long SerialWrite(SerialHandle handle, const uint8_t* data, size_t count);
// Waits until bytes can be read or the time is over.
void SerialWaitReadable(SerialHandle handle, uint32_t ms);

int SerialLastError();
std::string SerialErrorText(int error);

struct SerialPortInfo {
    std::string path;
    std::string friendlyName;
};

// The serial ports that exist, in a stable order. RERODADA_SERIAL_PORTS,
// when set, replaces the listing with its colon-separated device paths.
std::vector<SerialPortInfo> SerialListPorts();

} // namespace rerodada::platform

#endif
