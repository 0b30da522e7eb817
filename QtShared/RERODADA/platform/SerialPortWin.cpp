// The serial-port layer on Windows: COM ports through CreateFileA and the
// communications functions, listed through the setup interface with the
// registry's SERIALCOMM map as second source.
#include "platform/SerialPort.h"

#include "platform/Tick.h"

#include <windows.h>

#include <setupapi.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>

namespace rerodada::platform {

// A 32-bit HANDLE travels in the int handle type unchanged, INVALID_HANDLE_VALUE as -1.
static_assert(sizeof(HANDLE) == sizeof(SerialHandle), "the serial handle type holds a HANDLE");

namespace {

HANDLE Win(SerialHandle handle) {
    return reinterpret_cast<HANDLE>(static_cast<intptr_t>(handle));
}

// Ports without modem lines (a pseudo-terminal under wine, some adapters)
// refuse the modem-line requests.
SerialResult Refusal() {
    DWORD error = GetLastError();
    return error == ERROR_NOT_SUPPORTED || error == ERROR_INVALID_FUNCTION
               ? SerialResult::NotSupported
               : SerialResult::Failed;
}

SerialResult ModemLine(SerialHandle handle, DWORD function) {
    return EscapeCommFunction(Win(handle), function) ? SerialResult::Ok : Refusal();
}

// Bytes that a wait for the first byte took in, by port; the next read hands
// them out first.
struct Taken {
    std::mutex mutex;
    std::map<SerialHandle, std::vector<uint8_t>> bytes;
};

Taken& TakenBytes() {
    static Taken taken;
    return taken;
}

void DropTaken(SerialHandle handle) {
    Taken& taken = TakenBytes();
    std::lock_guard<std::mutex> lock(taken.mutex);
    taken.bytes.erase(handle);
}

constexpr uint64_t kBitsPerByte = 10;
constexpr uint64_t kWriteSlackMs = 1000;

// 8 data bits, no parity, no software flow control. DTR and RTS are driven
// only by the explicit requests (RTS by the driver with RTS/CTS flow control).
DCB LineSettings(const SerialLine& line) {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = line.baud;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = line.stopBits == 2 ? TWOSTOPBITS : ONESTOPBIT;
    dcb.fBinary = 1;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    dcb.fOutxCtsFlow = line.rtsCtsFlow ? 1 : 0;
    dcb.fRtsControl = line.rtsCtsFlow ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_DISABLE;
    return dcb;
}

// Reads return at once with what is buffered; a write may take twice its
// time on the line and a second more before it fails.
bool SetTimeouts(HANDLE h, uint32_t baud) {
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.WriteTotalTimeoutMultiplier =
        baud ? static_cast<DWORD>((2 * kBitsPerByte * 1000 + baud - 1) / baud) : 0;
    timeouts.WriteTotalTimeoutConstant = static_cast<DWORD>(kWriteSlackMs);
    return SetCommTimeouts(h, &timeouts) != 0;
}

// "COM12" and "\\.\COM12" both name the port; only the second form reaches
// ports above COM9.
std::string DevicePath(const char* path) {
    if (std::strncmp(path, "\\\\", 2) == 0) return path;
    return std::string("\\\\.\\") + path;
}

std::string RegistryText(HKEY key, const char* value) {
    char text[256] = {};
    DWORD size = sizeof text - 1;
    DWORD type = 0;
    if (RegQueryValueExA(key, value, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        return "";
    return text;
}

// The present devices of the "Ports" class, with their friendly names.
std::vector<SerialPortInfo> FromSetup() {
    std::vector<SerialPortInfo> ports;
    GUID guid;
    DWORD count = 0;
    if (!SetupDiClassGuidsFromNameA("Ports", &guid, 1, &count) || count == 0) return ports;
    HDEVINFO set = SetupDiGetClassDevsA(&guid, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE) return ports;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD i = 0; SetupDiEnumDeviceInfo(set, i, &device); ++i) {
        HKEY key =
            SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE);
        if (key == INVALID_HANDLE_VALUE) continue;
        std::string name = RegistryText(key, "PortName");
        std::string friendly;
        char text[256] = {};
        if (SetupDiGetDeviceRegistryPropertyA(set, &device, SPDRP_FRIENDLYNAME, nullptr,
                                              reinterpret_cast<BYTE*>(text), sizeof text - 1,
                                              nullptr))
            friendly = text;
        else
            friendly = RegistryText(key, "FriendlyName");
        RegCloseKey(key);
        if (ComPortNumber(name)) ports.push_back({name, friendly, 0});
    }
    SetupDiDestroyDeviceInfoList(set);
    return ports;
}

// Every serial port a driver announced; no friendly names here.
std::vector<SerialPortInfo> FromDeviceMap() {
    std::vector<SerialPortInfo> ports;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE,
                      &key) != ERROR_SUCCESS)
        return ports;
    for (DWORD i = 0;; ++i) {
        char value[256];
        DWORD valueSize = sizeof value;
        char data[64] = {};
        DWORD dataSize = sizeof data - 1;
        DWORD type = 0;
        LONG result = RegEnumValueA(key, i, value, &valueSize, nullptr, &type,
                                    reinterpret_cast<BYTE*>(data), &dataSize);
        if (result == ERROR_NO_MORE_ITEMS) break;
        if (result == ERROR_SUCCESS && type == REG_SZ && ComPortNumber(data))
            ports.push_back({data, "", 0});
    }
    RegCloseKey(key);
    return ports;
}

} // namespace

SerialHandle SerialOpen(const char* path) {
    // No sharing: a port another program holds fails here, untouched.
    HANDLE h = CreateFileA(DevicePath(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return kInvalidSerialHandle;
    SerialLine line;
    DCB current{};
    current.DCBlength = sizeof current;
    if (GetCommState(h, &current) && current.BaudRate) line.baud = current.BaudRate;
    if (!SetTimeouts(h, line.baud) || !SetupComm(h, 1024, 1024)) {
        DWORD error = GetLastError();
        CloseHandle(h);
        SetLastError(error);
        return kInvalidSerialHandle;
    }
    // Lowers DTR and RTS where the driver raised them on open; a driver that
    // refuses the block gets the line settings from SerialSetLine.
    DCB dcb = LineSettings(line);
    SetCommState(h, &dcb);
    return static_cast<SerialHandle>(reinterpret_cast<intptr_t>(h));
}

void SerialClose(SerialHandle handle) {
    if (handle == kInvalidSerialHandle) return;
    DropTaken(handle);
    CloseHandle(Win(handle));
}

bool SerialInUse(int error) {
    return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION;
}

bool SerialSetLine(SerialHandle handle, const SerialLine& line) {
    if (line.baud == 0) return false;
    DCB dcb = LineSettings(line);
    return SetCommState(Win(handle), &dcb) && SetTimeouts(Win(handle), line.baud);
}

SerialResult SerialSetDtr(SerialHandle handle, bool on) {
    return ModemLine(handle, on ? SETDTR : CLRDTR);
}

SerialResult SerialSetRts(SerialHandle handle, bool on) {
    return ModemLine(handle, on ? SETRTS : CLRRTS);
}

SerialResult SerialModemStatus(SerialHandle handle, uint32_t* status) {
    DWORD bits = 0;
    if (!GetCommModemStatus(Win(handle), &bits)) return Refusal();
    *status = bits & (kModemCTS | kModemDSR | kModemRING | kModemRLSD);
    return SerialResult::Ok;
}

bool SerialPurge(SerialHandle handle, bool receive, bool transmit) {
    if (receive) DropTaken(handle);
    DWORD flags = (receive ? PURGE_RXABORT | PURGE_RXCLEAR : 0) |
                  (transmit ? PURGE_TXABORT | PURGE_TXCLEAR : 0);
    return PurgeComm(Win(handle), flags) != 0;
}

long SerialReadAvailable(SerialHandle handle, uint8_t* buffer, size_t room) {
    if (room == 0) return 0;
    size_t handed = 0;
    {
        Taken& taken = TakenBytes();
        std::lock_guard<std::mutex> lock(taken.mutex);
        auto it = taken.bytes.find(handle);
        if (it != taken.bytes.end()) {
            handed = std::min(room, it->second.size());
            std::copy_n(it->second.begin(), handed, buffer);
            it->second.erase(it->second.begin(), it->second.begin() + handed);
            if (it->second.empty()) taken.bytes.erase(it);
        }
    }
    if (handed == room) return static_cast<long>(handed);
    DWORD got = 0;
    DWORD ask = static_cast<DWORD>(std::min<size_t>(room - handed, MAXDWORD));
    if (!ReadFile(Win(handle), buffer + handed, ask, &got, nullptr))
        return handed ? static_cast<long>(handed) : -1;
    return static_cast<long>(handed + got);
}

bool SerialWrite(SerialHandle handle, const uint8_t* data, size_t count, uint32_t baud,
                 uint32_t timeoutMs) {
    // One WriteFile takes at most a DWORD; the timeouts bound each one.
    const uint64_t start = Microseconds();
    const uint64_t lineUs = baud ? count * kBitsPerByte * 1000000 / baud : 0;
    const uint64_t deadline = start + (timeoutMs ? lineUs + uint64_t{timeoutMs} * 1000
                                                 : 2 * lineUs + kWriteSlackMs * 1000);
    size_t sent = 0;
    while (sent < count) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(count - sent, 1u << 20));
        DWORD n = 0;
        if (!WriteFile(Win(handle), data + sent, chunk, &n, nullptr)) return false;
        if (n == 0) {
            SetLastError(ERROR_TIMEOUT);
            return false;
        }
        sent += n;
    }
    // FlushFileBuffers has no limit: with CTS held off and CTS flow control
    // it waits for ever. The driver's output queue is watched instead.
    for (;;) {
        DWORD errors = 0;
        COMSTAT status{};
        if (!ClearCommError(Win(handle), &errors, &status)) return false;
        if (status.cbOutQue == 0) break;
        const uint64_t now = Microseconds();
        if (now >= deadline) {
            SetLastError(ERROR_TIMEOUT);
            return false;
        }
        const uint64_t queueUs = baud ? status.cbOutQue * kBitsPerByte * 1000000 / baud : 1000;
        SleepMicroseconds(static_cast<uint32_t>(
            std::max<uint64_t>(100, std::min<uint64_t>({deadline - now, queueUs, MAXDWORD}))));
    }
    // The queue is empty once the last bytes are in the chip's own buffer,
    // which sends them within their time on the line (10 bits a byte). A
    // driver that reports them gone within half that time (a pseudo-terminal
    // under wine, some adapters) has not waited for the line: the rest is
    // waited out. A shorter rest is not slept for: Windows before 10 1803
    // would stretch it to a timer tick.
    const uint64_t now = Microseconds();
    if (now < start + lineUs / 2)
        SleepMicroseconds(
            static_cast<uint32_t>(std::min<uint64_t>(start + lineUs - now, MAXDWORD)));
    return true;
}

// Windows opens serial ports exclusively itself; there are no lock files.
long SerialLockOwner(const char*) {
    return 0;
}

bool SerialLockHeld(SerialHandle) {
    return true;
}

bool SerialTimedOut(int error) {
    return error == ERROR_TIMEOUT || error == ERROR_SEM_TIMEOUT;
}

void SerialWaitReadable(SerialHandle handle, uint32_t ms) {
    // The driver waits: a read of one byte with a total time-out of ms
    // returns when a byte arrives, and the byte goes to the next read. This
    // is the plainest form of a waiting read, and wine returns it on the
    // byte, where it lets the MAXDWORD "first byte" time-outs run to their
    // end. An overlapped WaitCommEvent would do too, but would make every
    // read and write of the port overlapped.
    struct FirstByte final : Event {
        explicit FirstByte(SerialHandle h) : handle(h) {}
        void Wait(uint32_t ms) override {
            COMMTIMEOUTS saved{};
            if (ms == 0 || !GetCommTimeouts(Win(handle), &saved)) return;
            COMMTIMEOUTS waiting = saved;
            waiting.ReadIntervalTimeout = 0;
            waiting.ReadTotalTimeoutMultiplier = 0;
            waiting.ReadTotalTimeoutConstant = ms;
            if (!SetCommTimeouts(Win(handle), &waiting)) return;
            uint8_t byte = 0;
            DWORD got = 0;
            if (ReadFile(Win(handle), &byte, 1, &got, nullptr) && got == 1) {
                Taken& taken = TakenBytes();
                std::lock_guard<std::mutex> lock(taken.mutex);
                taken.bytes[handle].push_back(byte);
            }
            SetCommTimeouts(Win(handle), &saved);
        }
        SerialHandle handle;
    } firstByte(handle);
    AwaitEvent(firstByte, ms);
}

int SerialLastError() {
    return static_cast<int>(GetLastError());
}

std::string SerialErrorText(int error) {
    char* text = nullptr;
    DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(error), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
        reinterpret_cast<char*>(&text), 0, nullptr);
    std::string result = length && text ? std::string(text, length) : std::string();
    if (text) LocalFree(text);
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r'))
        result.pop_back();
    return result;
}

std::vector<SerialPortInfo> SerialListSystemPorts() {
    std::vector<SerialPortInfo> ports = FromSetup();
    // Ports the setup interface does not know (wine has none there) still
    // appear in the device map.
    for (const SerialPortInfo& mapped : FromDeviceMap()) {
        const bool known = std::any_of(ports.begin(), ports.end(), [&](const SerialPortInfo& p) {
            return ComPortNumber(p.path) == ComPortNumber(mapped.path);
        });
        if (!known) ports.push_back(mapped);
    }
    std::sort(ports.begin(), ports.end(), [](const SerialPortInfo& a, const SerialPortInfo& b) {
        return ComPortNumber(a.path) < ComPortNumber(b.path);
    });
    for (SerialPortInfo& port : ports)
        port.path = "\\\\.\\" + port.path;
    return ports;
}

} // namespace rerodada::platform
