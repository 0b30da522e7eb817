#include "RS232_Connection.h"

#include "Library.h"
#include "Logs.h"
#include "platform/Tick.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace rerodada {

using namespace platform;

namespace {

constexpr uint32_t kSerialBauds[] = {115200, 57600, 38400, 19200, 9600};
constexpr int kCandidatePorts = 20;

bool SetBaud(Connection* c, uint32_t baud) {
    return static_cast<RS232_Connection*>(c)->Set_BaudRate(baud);
}

class SerialPoller : public Connection::Poller {
  public:
    explicit SerialPoller(SerialHandle h) : handle_(h) {}
    long Poll(uint8_t* into, uint32_t room) override {
        long n = SerialReadAvailable(handle_, into, room);
        if (n < 0) {
            lost = true;
            RERODADA_TRACE("device lost: %s", SerialErrorText(SerialLastError()).c_str());
        }
        return n;
    }
    void Wait(uint32_t ms, uint32_t) override { SerialWaitReadable(handle_, ms); }
    // A read failed: the port is of no further use.
    bool lost = false;

  private:
    SerialHandle handle_;
};

// The device of the listed port with this COM number; empty when none has it.
std::string PathOf(const std::vector<SerialPortInfo>& ports, int number) {
    for (const SerialPortInfo& info : ports)
        if (info.number == number) return info.path;
    return "";
}

// Port index p is COM p+1.
std::string PortPath(int port) {
    return PathOf(SerialListPorts(), port + 1);
}

} // namespace

SerialHandle OpenForLink(const std::string& path) {
    SerialHandle handle = SerialOpen(path.c_str());
    if (handle != kInvalidSerialHandle) {
        if (!SerialLockHeld(handle))
            RERODADA_TRACE("%s: no lock directory takes its lock file; opened without one",
                           path.c_str());
        return handle;
    }
    int error = SerialLastError();
    long owner = SerialInUse(error) ? SerialLockOwner(path.c_str()) : 0;
    if (owner != 0)
        RERODADA_TRACE("%s is locked by process %ld: skipped", path.c_str(), owner);
    else if (SerialInUse(error))
        RERODADA_TRACE("%s is held by another process: skipped", path.c_str());
    else
        RERODADA_TRACE("%s cannot be opened: %s", path.c_str(), SerialErrorText(error).c_str());
    return kInvalidSerialHandle;
}

std::string WriteFailure(SerialHandle handle, int error, bool ctsFlow) {
    if (!SerialTimedOut(error)) return "write failed: " + SerialErrorText(error);
    uint32_t status = 0;
    if (ctsFlow && SerialModemStatus(handle, &status) == SerialResult::Ok && !(status & kModemCTS))
        return "write timed out: CTS held off by the board";
    return "write timed out";
}

struct PortEnumeration {
    std::vector<SerialPortInfo> ports;
    size_t next = 0;
};

const Connection::FixedBaudRetry RS232_Connection::kTryOpenRetry = {
    false, false, false, {false, false, false}};
const Connection::FixedBaudRetry RS232_Connection::kSendCRRetry = {
    true, true, true, {false, false, false}};

RS232_Connection& TheRS232Connection() {
    static RS232_Connection instance;
    return instance;
}

RS232_Connection::RS232_Connection() : Connection(ct_BRIM232) {}

RS232_Connection::~RS232_Connection() {
    if (connected) Close();
}

bool RS232_Connection::OpenPort(int p, const std::string& path, const char* variant,
                                bool announce) {
    port = p;
    snprintf(szPortName, sizeof szPortName, "%s", path.c_str());
    hCommPort = path.empty() ? kInvalidSerialHandle : OpenForLink(path);
    if (hCommPort == kInvalidSerialHandle) {
        RERODADA_TRACE("%s(%d) CreateFile failed.", variant, p);
        return false;
    }
    if (announce) SearchSay("\nOpened comm port %s\n", szPortName);
    // Immediate-return reads come with the non-blocking open; the driver's
    // queues are its own. What is still in flight from earlier is dropped.
    if (!SerialPurge(hCommPort, false, true)) {
        RERODADA_TRACE("PurgeComm(PURGE_TXABORT) failed.");
        Close();
        return false;
    }
    if (!SerialPurge(hCommPort, true, false)) {
        RERODADA_TRACE("PurgeComm(PURGE_RXABORT) failed.");
        Close();
        return false;
    }
    return true;
}

bool RS232_Connection::Connected(bool found, const std::string& path) {
    if (found) connectedPath = path;
    return found;
}

bool RS232_Connection::Try_Open_Port(int p) {
    return Try_Open_Listed(p, PortPath(p), false);
}

bool RS232_Connection::Try_Open_Port_Send_CR(int p) {
    return Try_Open_Listed(p, PortPath(p), true);
}

bool RS232_Connection::Try_Open_Listed(int p, const std::string& path, bool sendCR) {
    if (!OpenPort(p, path, sendCR ? "Try_Open_Port_Send_CR" : "Try_Open_Port", sendCR))
        return false;
    return Connected(sendCR ? FindBoard(true, kSerialBauds, 5, SetBaud, kSendCRRetry, true)
                            : FindBoard(false, kSerialBauds, 5, SetBaud, kTryOpenRetry, false),
                     path);
}

bool RS232_Connection::Reopen() {
    // The listing may have changed since (a hot-plug renumbers the ports):
    // the device of the last connection is opened again, not the number.
    if (connectedPath.empty()) return Try_Open_Port(port);
    if (!OpenPort(port, connectedPath, "Try_Open_Port", false)) return false;
    return FindBoard(false, kSerialBauds, 5, SetBaud, kTryOpenRetry, false);
}

bool RS232_Connection::Set_BaudRate(uint32_t baud) {
    baudRate = baud;
    SerialLine line;
    line.baud = baud;
    if (!SerialSetLine(hCommPort, line)) {
        RERODADA_TRACE("Set_BaudRate(%d) SetCommState failed.", static_cast<int>(baud));
        Close();
        return false;
    }
    return true;
}

void RS232_Connection::Close() {
    RERODADA_TRACE("closing %s", szPortName);
    if (hCommPort != kInvalidSerialHandle) {
        SerialClose(hCommPort);
        hCommPort = kInvalidSerialHandle;
    }
    connected = false;
}

bool RS232_Connection::Hold_Reset() {
    if (hCommPort == kInvalidSerialHandle) {
        RERODADA_TRACE("\n\tfailure: invalid handle!");
        return false;
    }
    if (SerialSetDtr(hCommPort, !bResetOnDTRhigh) == SerialResult::NotSupported)
        RERODADA_TRACE("port has no DTR line");
    return true;
}

bool RS232_Connection::Release_Reset() {
    if (hCommPort == kInvalidSerialHandle) {
        RERODADA_TRACE("\n\tfailure: invalid handle!");
        return false;
    }
    // Bytes that arrived before the reset are not part of the banner.
    if (!SerialPurge(hCommPort, true, false)) {
        int error = SerialLastError();
        RERODADA_TRACE("Release_Reset: Error %d: PurgeComm failed: %s", error,
                       SerialErrorText(error).c_str());
    }
    if (SerialSetDtr(hCommPort, bResetOnDTRhigh) == SerialResult::NotSupported)
        RERODADA_TRACE("port has no DTR line");
    return true;
}

void RS232_Connection::CommRTS(bool level) {
    if (hCommPort == kInvalidSerialHandle) {
        RERODADA_TRACE("\n\tfailure: invalid handle!");
        return;
    }
    if (SerialSetRts(hCommPort, level) == SerialResult::NotSupported)
        RERODADA_TRACE("port has no RTS line");
}

bool RS232_Connection::ModemLine(uint32_t bit) {
    uint32_t status = 0;
    if (hCommPort == kInvalidSerialHandle) return false;
    if (SerialModemStatus(hCommPort, &status) != SerialResult::Ok) return false;
    return (status & bit) != 0;
}

bool RS232_Connection::CommCTS() {
    return ModemLine(kModemCTS);
}
bool RS232_Connection::CommDSR() {
    return ModemLine(kModemDSR);
}
bool RS232_Connection::CommDCD() {
    return ModemLine(kModemRLSD);
}
bool RS232_Connection::CommRI() {
    return ModemLine(kModemRING);
}

bool RS232_Connection::Send(const uint8_t* data, uint32_t count) {
    if (count == 0) {
        RERODADA_TRACE("Write failed.");
        return false;
    }
    if (!SerialWrite(hCommPort, data, count, baudRate)) {
        int error = SerialLastError();
        RERODADA_TRACE("%s: %s", szPortName, WriteFailure(hCommPort, error, false).c_str());
        Close();
        return false;
    }
    return true;
}

bool RS232_Connection::Write(const uint8_t* data, uint32_t count, uint32_t rxMinCount) {
    if (hCommPort == kInvalidSerialHandle) {
        RERODADA_TRACE("\n\tfailure: invalid handle!");
        return false;
    }
    if (DebugTraceEnabled()) {
        uint32_t status = 0;
        if (SerialModemStatus(hCommPort, &status) == SerialResult::Ok)
            RERODADA_TRACE("MS_CTS_ON=%d MS_DSR_ON=%d MS_RING_ON=%d MS_RLSD_ON=%d",
                           !!(status & kModemCTS), !!(status & kModemDSR), !!(status & kModemRING),
                           !!(status & kModemRLSD));
        else
            RERODADA_TRACE("GetCommModemStatus failed!");
    }
    if (!Send(data, count)) return false;
    if (rxMinCount > 0)
        Read(rxMinCount);
    else
        nResultCount = 0;
    return true;
}

bool RS232_Connection::WriteFramedByRTS(const uint8_t* data, uint32_t count, uint32_t rxMinCount,
                                        bool frame) {
    if (hCommPort == kInvalidSerialHandle) {
        RERODADA_TRACE("\n\tfailure: invalid handle!");
        return false;
    }
    CommRTS(frame);
    if (!Send(data, count)) return false;
    CommRTS(!frame);
    if (rxMinCount > 0)
        Read(rxMinCount);
    else
        nResultCount = 0;
    return true;
}

void RS232_Connection::Drain() {
    if (hCommPort == kInvalidSerialHandle) return;
    SerialPoller poller(hCommPort);
    DrainWith(poller);
    if (poller.lost) Close();
}

bool RS232_Connection::Read(uint32_t minCount) {
    if (hCommPort == kInvalidSerialHandle) {
        RERODADA_TRACE("\n\tfailure: invalid handle!");
        return false;
    }
    SerialPoller poller(hCommPort);
    bool ok = ReadReply(minCount, poller, false, "Read terminated by gnREAD_IDLE_TIMEOUT_msec.",
                        "Read terminated by gnGROSS_READSTRING_TIMEOUT_msec.",
                        "Read terminated by gnGROSS_READSTRING_TIMEOUT_msec.");
    if (poller.lost) Close();
    return ok;
}

PortEnumeration* EnumeratePortsFirst() {
    auto* set = new PortEnumeration;
    set->ports = SerialListPorts();
    return set;
}

bool EnumeratePortsNext(PortEnumeration* set, char* portName, uint32_t portNameSize,
                        char* friendlyName, uint32_t friendlyNameSize) {
    if (!set || !portName || portNameSize == 0) return false;
    if (set->next >= set->ports.size()) return false;
    const SerialPortInfo& info = set->ports[set->next];
    ++set->next;
    snprintf(portName, portNameSize, "COM%d", info.number);
    if (friendlyName && friendlyNameSize > 0)
        snprintf(friendlyName, friendlyNameSize, "%s", info.friendlyName.c_str());
    return true;
}

void EnumeratePortsClose(PortEnumeration* set) {
    delete set;
}

bool SelectSerialPort(const std::vector<std::string>& usbTtys) {
    // One listing for the whole search: the device paths chosen here are
    // those opened, however long the search takes.
    std::string candidate[kCandidatePorts];
    int preferred = -1;
    if (PortEnumeration* set = EnumeratePortsFirst()) {
        char name[100];
        char friendly[100];
        while (EnumeratePortsNext(set, name, sizeof name, friendly, sizeof friendly)) {
            const std::string& path = set->ports[set->next - 1].path;
            SearchSay("\nEnumeratePortsNext found serial port %s\n", name);
            if (friendly[0]) SearchSay("   strFriendlyName = \"%s\"\n", friendly);
            int index = atoi(name + 3) - 1;
            if (index < 0 || index >= kCandidatePorts) {
                SearchSay("This software only accepts COM1-COM%d\n", kCandidatePorts);
                continue;
            }
            // The USB board's tty: the USB search tries it with the board's settings.
            if (std::find(usbTtys.begin(), usbTtys.end(), path) != usbTtys.end()) {
                RERODADA_TRACE("%s is a USB board's tty: skipped", path.c_str());
                continue;
            }
            candidate[index] = path;
            for (const char* text : {friendly, name}) {
                if (strstr(text, "Bluetooth") || strstr(text, "BT ")) {
                    candidate[index].clear();
                    SearchSay("   *** skip this port ***\n");
                }
            }
            for (const char* text : {friendly, name}) {
                if (strstr(text, "Kelvo")) {
                    preferred = index;
                    candidate[index] = path;
                    SearchSay("   +++ prefer this port +++\n");
                }
            }
        }
        EnumeratePortsClose(set);
    }

    RS232_Connection& serial = TheRS232Connection();
    if (SearchStopped()) return false;
    if (preferred >= 0) {
        SearchSay("Testing COM%d\n", preferred + 1);
        if (serial.Try_Open_Listed(preferred, candidate[preferred], true)) return true;
    }
    RERODADA_TRACE("checking %d RS232 ports...", kCandidatePorts);
    for (int i = 0; i < kCandidatePorts; ++i) {
        if (SearchStopped()) return false;
        if (candidate[i].empty()) {
            SearchSay("Skipping COM%d\n", i + 1);
            continue;
        }
        SearchSay("Testing COM%d\n", i + 1);
        if (serial.Try_Open_Listed(i, candidate[i], false)) return true;
    }
    return false;
}

} // namespace rerodada
