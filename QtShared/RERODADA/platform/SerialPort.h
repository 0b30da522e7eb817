// The operating system's serial-port interface, reduced to what the serial
// transports need: an exclusive open, line settings, modem lines, purge,
// non-blocking read, a write that ends with the bytes on the line, wait,
// close, and the listing of present ports.
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

// Opens the port for this process alone, without becoming its controlling
// terminal, non-blocking and in raw mode. A port that another process holds
// fails (SerialInUse(SerialLastError()) is then true) before any modem line
// is touched. DTR and RTS are low afterwards.
// On POSIX systems a port whose UUCP lock file (LCK..name in /var/lock or
// /run/lock, or the colon-separated RERODADA_LOCK_DIRS) names a live process
// is held too and is not opened; an open port holds such a lock file of its
// own until closed, when a lock directory takes it.
SerialHandle SerialOpen(const char* path);
// The live process that a lock file names as holding the port; 0 for none.
long SerialLockOwner(const char* path);
// The open port holds its lock file (always true where there are none).
bool SerialLockHeld(SerialHandle handle);
void SerialClose(SerialHandle handle);
bool SerialInUse(int error);

struct SerialLine {
    uint32_t baud = 9600;
    int stopBits = 1;
    bool rtsCtsFlow = false;
};
// Raw 8 data bits, no parity, no software flow control, at any rate the
// driver accepts. DTR and RTS keep the levels last set (with RTS/CTS flow
// control the driver drives RTS).
bool SerialSetLine(SerialHandle handle, const SerialLine& line);
SerialResult SerialSetDtr(SerialHandle handle, bool on);
SerialResult SerialSetRts(SerialHandle handle, bool on);
// NotSupported for a port without modem lines; Failed also for one whose
// other end went away (an unplugged adapter, a closed pseudo-terminal).
SerialResult SerialModemStatus(SerialHandle handle, uint32_t* status);
bool SerialPurge(SerialHandle handle, bool receive, bool transmit);
// Bytes buffered right now, without blocking; -1 on error, and on a port
// whose device went away (an unplugged adapter, a hung-up terminal).
long SerialReadAvailable(SerialHandle handle, uint8_t* buffer, size_t room);
// Sends every byte and returns once they are on the line: out of the
// driver's queue and, where the driver reports them gone within half their
// time on the line at baud (10 bits a byte), not before that time from the
// start of the write. False when they cannot all go out in
// time (SerialTimedOut(SerialLastError()) is then true): with timeoutMs, that
// long on top of their line time, else a time that grows with the count.
// Never waits longer, whatever the modem lines do.
bool SerialWrite(SerialHandle handle, const uint8_t* data, size_t count, uint32_t baud,
                 uint32_t timeoutMs = 0);
bool SerialTimedOut(int error);
// Waits until bytes can be read or the time is over.
void SerialWaitReadable(SerialHandle handle, uint32_t ms);

int SerialLastError();
std::string SerialErrorText(int error);

struct SerialPortInfo {
    std::string path;
    std::string friendlyName;
    // The port's COM number (its index in the board link plus one).
    int number = 0;
};

// The serial ports that exist, in a stable order, numbered. RERODADA_SERIAL_PORTS,
// when set, replaces the system's listing with its colon-separated device paths.
// Ports named like Windows ports keep their own numbers (\\.\COM5 is 5) and
// other entries beside them (a printer port) are left out; any other listing
// (Linux device paths) is numbered in its order from 1.
std::vector<SerialPortInfo> SerialListPorts();

// The system's own listing, not yet numbered.
std::vector<SerialPortInfo> SerialListSystemPorts();

// n for a path whose last component is COMn in any letter case, n from 1 to
// 256 without leading zeros; else 0.
int ComPortNumber(const std::string& path);

// The fields of a list such as a variable's colon-separated paths, empty
// ones included.
std::vector<std::string> SplitList(const std::string& text, char separator);

// The ports of a RERODADA_SERIAL_PORTS value: colon-separated device paths,
// each optionally followed by "=friendly name"; empty entries are skipped.
std::vector<SerialPortInfo> SerialPortsFromList(const std::string& list);

} // namespace rerodada::platform

#endif
