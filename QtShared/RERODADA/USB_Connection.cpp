#include "USB_Connection.h"

#include "Library.h"
#include "platform/Tick.h"
#include "rerodada.h"

#include <algorithm>
#include <cstdio>

namespace rerodada {

namespace {

constexpr uint32_t kUsbBauds[] = {921600, 625000, 460800, 115200, 38400, 19200};
constexpr uint32_t kModemCTS = 0x10;
constexpr uint32_t kModemDSR = 0x20;
constexpr uint32_t kModemRING = 0x40;
constexpr uint32_t kModemDCD = 0x80;

bool SetBaud(Connection* c, uint32_t rate) {
    return static_cast<USB_Connection*>(c)->Set_BaudRate(rate);
}

const char* ChipName(uint32_t type) {
    switch (type) {
    case 0:
        return "BM";
    case 1:
        return "AM";
    case 2:
        return "100AX";
    default:
        return "Unknown";
    }
}

// What the driver answers when the device went away (unplugged, hung up).
bool DeviceLost(FT_STATUS status) {
    if (status != FT_IO_ERROR && status != FT_DEVICE_NOT_FOUND) return false;
    RERODADA_TRACE("device lost: %s", FtStatusName(status));
    return true;
}

class UsbPoller : public Connection::Poller {
  public:
    UsbPoller(FtdiApi& api, FT_HANDLE h, uint32_t baud) : api_(api), handle_(h), baud_(baud) {}
    long Poll(uint8_t* into, uint32_t room) override {
        uint32_t rx = 0, tx = 0, event = 0;
        // A failed status query ends the read, as a failed FT_Read does.
        FT_STATUS status = api_.FT_GetStatus(handle_, &rx, &tx, &event);
        if (status != FT_OK) {
            RERODADA_TRACE("USB_Connection Error %d: FT_GetStatus failed.",
                           static_cast<int>(status));
            lost = DeviceLost(status);
            return -1;
        }
        if (rx == 0 || room == 0) return 0;
        uint32_t got = 0;
        status = api_.FT_Read(handle_, into, std::min(rx, room), &got);
        if (status != FT_OK) {
            RERODADA_TRACE("USB_Connection Error %d: FT_Read failed.", static_cast<int>(status));
            lost = DeviceLost(status);
            return -1;
        }
        return static_cast<long>(got);
    }
    void Wait(uint32_t ms, uint32_t bytesDue) override {
        // 10 bits a byte on the line: start, 8 data bits and at least one stop bit.
        uint64_t lineUs = baud_ ? uint64_t{bytesDue} * 10 * 1000000 / baud_ : 0;
        api_.WaitForBytes(handle_, ms,
                          static_cast<uint32_t>(std::min<uint64_t>(lineUs, UINT32_MAX)));
    }
    bool lost = false;

  private:
    FtdiApi& api_;
    FT_HANDLE handle_;
    uint32_t baud_;
};

char gDescription[96];
char gSerialNumber[96];

} // namespace

const Connection::FixedBaudRetry USB_Connection::kTryOpenRetry = {
    false, true, false, {false, true, false}};
const Connection::FixedBaudRetry USB_Connection::kSendCRRetry = {
    false, true, true, {false, true, false}};

USB_Connection& TheUSBConnection() {
    static USB_Connection instance;
    return instance;
}

USB_Connection::USB_Connection() : Connection(ct_BRIMUSB) {}

USB_Connection::~USB_Connection() {
    if (connected) Close();
}

FtdiApi& USB_Connection::Api() {
    return driver ? *driver : *TheFTDIdll;
}

void USB_Connection::UseDriver(FtdiApi* api) {
    if (IsOpen()) Close();
    driver = api;
}

bool USB_Connection::OpenDevice(int index, const char* variant) {
    port = index;
    deviceOpened = false;
    snprintf(szPortName, sizeof szPortName, "USB:%d", index);
    if (!driver && (!TheFTDIdll || !TheFTDIdll->Loaded())) {
        RERODADA_TRACE("%s(%d) Missing file %s", variant, index,
                       TheFTDIdll ? TheFTDIdll->FileName() : "FTD2XX.dll");
        return false;
    }
    FT_HANDLE handle = kClosedHandle;
    ftStatus = Api().FT_Open(index, &handle);
    if (ftStatus != FT_OK) {
        RERODADA_TRACE("%s FT_Open failed", variant);
        return false;
    }
    m_ftHandle = handle;
    deviceOpened = true;
    uint32_t type = 0, id = 0;
    if (Api().FT_GetDeviceInfo(m_ftHandle, &type, &id, gSerialNumber, gDescription, nullptr) ==
        FT_OK) {
        RERODADA_TRACE("USB VID=0x%4.4X, PID=0x%4.4X", id >> 16, id & 0xFFFF);
        RERODADA_TRACE("\n\t%s%s%s", gDescription, gSerialNumber[0] ? " S/N " : "", gSerialNumber);
        RERODADA_TRACE("\n\tInterface chip: FT-%s type", ChipName(type));
    }
    return true;
}

bool USB_Connection::Try_Open_Port(int index) {
    if (!OpenDevice(index, "Try_Open_Port")) return false;
    return FindBoard(false, kUsbBauds, 6, SetBaud, kTryOpenRetry, false);
}

bool USB_Connection::Try_Open_Port_Send_CR(int index) {
    if (!OpenDevice(index, "Try_Open_Port_Send_CR")) return false;
    RERODADA_TRACE(gAutoBaudFlag ? "gAutoBaudFlag = true" : "gAutoBaudFlag = false");
    return FindBoard(true, kUsbBauds, 6, SetBaud, kSendCRRetry, true);
}

bool USB_Connection::Set_BaudRate(uint32_t rate) {
    baud = rate;
    ftStatus = Api().FT_SetBaudRate(m_ftHandle, rate);
    if (ftStatus != FT_OK) {
        RERODADA_TRACE("FT_SetBaudRate() failed");
        return false;
    }
    ftStatus = Api().FT_SetDataCharacteristics(m_ftHandle, 8, 2, 0);
    if (ftStatus != FT_OK) {
        RERODADA_TRACE("FT_SetDataCharacteristics() failed");
        Close();
        return false;
    }
    ftStatus = Api().FT_SetFlowControl(m_ftHandle, FT_FLOW_RTS_CTS, 0, 0);
    if (ftStatus != FT_OK) {
        RERODADA_TRACE("FT_SetFlowControl() failed");
        Close();
        return false;
    }
    Api().FT_SetTimeouts(m_ftHandle, 300, 300);
    Api().FT_Purge(m_ftHandle, FT_PURGE_RX | FT_PURGE_TX);
    return true;
}

void USB_Connection::Close() {
    if (!IsOpen()) return;
    ftStatus = Api().FT_Close(m_ftHandle);
    if (ftStatus == FT_OK) {
        m_ftHandle = kClosedHandle;
        connected = false;
    }
}

bool USB_Connection::Hold_Reset() {
    if (!IsOpen()) {
        RERODADA_TRACE("\n\tfailure: invalid handle!");
        return false;
    }
    if (bResetOnDTRhigh)
        Api().FT_ClrDtr(m_ftHandle);
    else
        Api().FT_SetDtr(m_ftHandle);
    return true;
}

bool USB_Connection::Release_Reset() {
    if (!IsOpen()) {
        RERODADA_TRACE("\n\tfailure: invalid handle!");
        return false;
    }
    // Bytes that arrived before the reset are not part of the banner.
    Api().FT_Purge(m_ftHandle, FT_PURGE_RX);
    if (bResetOnDTRhigh)
        Api().FT_SetDtr(m_ftHandle);
    else
        Api().FT_ClrDtr(m_ftHandle);
    return true;
}

void USB_Connection::CommRTS(bool level) {
    if (!IsOpen()) {
        RERODADA_TRACE("\n\tfailure: invalid handle!");
        return;
    }
    if (level)
        Api().FT_SetRts(m_ftHandle);
    else
        Api().FT_ClrRts(m_ftHandle);
}

bool USB_Connection::ModemLine(uint32_t bit) {
    if (!IsOpen()) return false;
    uint32_t status = 0;
    if (Api().FT_GetModemStatus(m_ftHandle, &status) != FT_OK) return false;
    RERODADA_TRACE("MS_CTS_ON=%d MS_DSR_ON=%d MS_RING_ON=%d MS_RLSD_ON (DCD)=%d",
                   !!(status & kModemCTS), !!(status & kModemDSR), !!(status & kModemRING),
                   !!(status & kModemDCD));
    return (status & bit) != 0;
}

bool USB_Connection::CommCTS() {
    return ModemLine(kModemCTS);
}
bool USB_Connection::CommDSR() {
    return ModemLine(kModemDSR);
}
bool USB_Connection::CommDCD() {
    return ModemLine(kModemDCD);
}
bool USB_Connection::CommRI() {
    return ModemLine(kModemRING);
}

bool USB_Connection::Send(const uint8_t* data, uint32_t count, bool framed, bool frame) {
    if (!IsOpen()) {
        RERODADA_TRACE("\n\tfailure: invalid handle!");
        return false;
    }
    if (DebugTraceEnabled()) ModemLine(0);
    if (framed) CommRTS(frame);
    uint32_t written = 0;
    ftStatus = Api().FT_Write(m_ftHandle, data, count, &written);
    if (ftStatus != FT_OK) {
        RERODADA_TRACE("Write failed (%s)", FtStatusName(ftStatus));
        if (DeviceLost(ftStatus)) Close();
        return false;
    }
    if (written == 0) {
        RERODADA_TRACE("Write failed (result=%d)", static_cast<int>(written));
        return false;
    }
    if (framed) CommRTS(!frame);
    return true;
}

bool USB_Connection::Write(const uint8_t* data, uint32_t count, uint32_t rxMinCount) {
    if (!Send(data, count, false, false)) return false;
    if (rxMinCount > 0)
        Read(rxMinCount);
    else
        nResultCount = 0;
    return true;
}

bool USB_Connection::WriteFramedByRTS(const uint8_t* data, uint32_t count, uint32_t rxMinCount,
                                      bool frame) {
    if (!Send(data, count, true, frame)) return false;
    if (rxMinCount > 0)
        Read(rxMinCount);
    else
        nResultCount = 0;
    return true;
}

void USB_Connection::Drain() {
    if (!IsOpen()) return;
    UsbPoller poller(Api(), m_ftHandle, baud);
    DrainWith(poller);
    if (poller.lost) Close();
}

bool USB_Connection::Read(uint32_t minCount) {
    if (!IsOpen()) {
        RERODADA_TRACE("\n\tfailure: invalid handle!");
        return false;
    }
    UsbPoller poller(Api(), m_ftHandle, baud);
    bool ok = ReadReply(minCount, poller, true, "FT_Read terminated by gnREAD_IDLE_TIMEOUT_msec.",
                        "FT_Read terminated by gnGROSS_READSTRING_TIMEOUT_msec.",
                        "FT_Read terminated by gnGROSS_READSTRING_TIMEOUT_msec (RxBytes == 0).");
    if (poller.lost) Close();
    return ok;
}

bool USB_Connection::IsConnected() {
    if (!connected) return false;
    uint32_t devices = 0;
    if (Api().FT_ListDevices(&devices, nullptr, FT_LIST_NUMBER_ONLY) != FT_OK) {
        RERODADA_TRACE("IsConnected FT_ListDevices failed");
        devices = 0;
    }
    if (devices == 0) {
        RERODADA_TRACE("IsConnected(): Closing.");
        Close();
    } else {
        uint32_t status = 0;
        ftStatus = Api().FT_GetModemStatus(m_ftHandle, &status);
        if (ftStatus != FT_OK) {
            RERODADA_TRACE("FT_GetModemStatus failed (%s)", FtStatusName(ftStatus));
            RERODADA_TRACE("IsConnected(): Closing.");
            Close();
        }
    }
    return connected;
}

bool USB_Connection::SetLatency(uint8_t ms) {
    ftStatus = Api().FT_SetLatencyTimer(m_ftHandle, ms);
    return ftStatus == FT_OK;
}

bool USB_Connection::DeviceInfo(uint32_t* id, char* serial, char* description) {
    if (!IsOpen()) return false;
    uint32_t type = 0;
    return Api().FT_GetDeviceInfo(m_ftHandle, &type, id, serial, description, nullptr) == FT_OK;
}

} // namespace rerodada

using namespace rerodada;

RERODADA_API(bool) BrimSetUSB_Latency(uint8_t msec) try {
    EnsureInitialised();
    if (Active_Connection != &TheUSBConnection()) return false;
    return TheUSBConnection().SetLatency(msec);
} catch (...) {
    return ExceptionResult<bool>(__func__);
}
