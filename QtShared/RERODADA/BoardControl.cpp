// Finding, connecting and querying the interface board, and the library's
// initialisation and tear-down.
#include "rerodada.h"

#include "Connection.h"
#include "FTDI_DLL.h"
#include "KernelFtdi.h"
#include "Library.h"
#include "Logs.h"
#include "RS232_Connection.h"
#include "USB_Connection.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

namespace rerodada {

bool bAutoPortFlag = true;
int reference_count = 0;

namespace {

constexpr unsigned kLibraryRevision = 0x10185;

void Report(const char* text) {
    RERODADA_TRACE("%s", text);
    BrimLogComment(2, text);
}

void Reportf(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Reportf(const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    vsnprintf(text, sizeof text, format, args);
    va_end(args);
    Report(text);
}

void BuildReport() {
    Report("compile-time options:");
    Reportf("RERODADA_REVISION=0x%4.4x", kLibraryRevision);
    Report("DEBUG_LOG_LST_FILE = undefined");
    Report("DEBUG_LOG_FILE = undefined");
    Reportf("__FILE__ = \"\"%s\"\"", __FILE__);
    Reportf("__DATE__ = \"\"%s\"\"", __DATE__);
    Reportf("__TIME__ = \"\"%s\"\"", __TIME__);
#if defined(__GNUC__)
    Reportf(" __GNUC__=%d __GNUC_MINOR__=%d __GNUC_PATCHLEVEL__=%d compiled with gcc-%d.%d",
            __GNUC__, __GNUC_MINOR__, __GNUC_PATCHLEVEL__, __GNUC__, __GNUC_MINOR__);
#endif
    Report("DEBUG_TO_CONSOLE = 1");
    Report("_ATL_VER = undefined");
    Report("_MANAGED = undefined");
    Report("DOT_NET_SUPPORT = 0");
    Report("GUI = undefined");
}

void TearDown() {
    RERODADA_TRACE("tear-down");
    if (reference_count > 0) --reference_count;
    RERODADA_TRACE("reference_count decreased to %d", reference_count);
    CommLogFile.Close();
    CommLogListingFile.Close();
    CommDebugLogFile.Close();
}

// Copies a string into a caller's buffer of size bytes (size > 0).
bool CopyOut(const char* source, char* buffer, uint32_t size) {
    size_t n = strlen(source);
    if (size < n + 1) {
        memcpy(buffer, source, size);
        buffer[size - 1] = 0;
        n = size - 1;
    } else {
        memcpy(buffer, source, n);
        memset(buffer + n, 0, size - n);
    }
    return n != 0;
}

void ListingConnected(const char* function) {
    if (!ListingActive()) return;
    char text[128];
    ListingMarked("--- ! ---", function);
    snprintf(text, sizeof text, "; found %.40s on port %.40s", Active_Connection->TypeName(),
             Active_Connection->GetPortName());
    CommListingLine("", "", 0, nullptr, text);
    char banner[160];
    snprintf(banner, sizeof banner, "; firmware banner \"%.100s\"", Active_Connection->GetBanner());
    CommListingLine("", "", 0, nullptr, banner);
}

bool Finish(bool result) {
    RERODADA_TRACE("%s IsConnected() = %d", Active_Connection->TypeName(),
                   Active_Connection->IsConnected());
    return result;
}

bool Connected(const char* function) {
    ListingConnected(function);
    BrimSupportsNativeSMBusCommands();
    return Finish(true);
}

bool NoBoard() {
    RERODADA_TRACE("Unable to connect to any suitable boards.");
    return Finish(false);
}

// Tries the devices in order; *opened counts those the driver opened.
bool TryUsbDevices(uint32_t devices, uint32_t* opened) {
    USB_Connection& usb = TheUSBConnection();
    for (uint32_t i = 0; i < devices; ++i) {
        if (SearchStopped()) return false;
        bool found = usb.Try_Open_Port(static_cast<int>(i));
        if (usb.DeviceOpened()) ++*opened;
        if (found) {
            Active_Connection = &usb;
            return true;
        }
    }
    return false;
}

// The USB search: the devices of the D2XX library, or, when it does not
// load, lists none, or lists devices it cannot open (the kernel's own driver
// holds them), the board's ttys of the kernel driver. Those ttys go into
// *usbTtys whether tried or not: the serial search leaves them alone.
bool SearchUsb(std::vector<std::string>* usbTtys) {
    USB_Connection& usb = TheUSBConnection();
    std::vector<platform::UsbTtyInfo> ttys = platform::UsbTtyListPorts();
    for (const platform::UsbTtyInfo& tty : ttys)
        usbTtys->push_back(tty.path);
    if (TheFTDIdll->Loaded()) {
        uint32_t devices = 0;
        if (TheFTDIdll->FT_ListDevices(&devices, nullptr, FT_LIST_NUMBER_ONLY) != FT_OK)
            devices = 1;
        if (devices > 0) {
            usb.UseDriver(nullptr);
            uint32_t opened = 0;
            if (TryUsbDevices(devices, &opened)) return true;
            if (opened > 0 || SearchStopped()) return false;
            RERODADA_TRACE("USB device driver lists %u device(s) but opens none...", devices);
        } else {
            RERODADA_TRACE("USB device driver lists no device...");
        }
    } else {
        RERODADA_TRACE("USB device driver not loaded...");
    }
    if (ttys.empty()) return false;
    RERODADA_TRACE("trying %d USB device(s) of the kernel driver...",
                   static_cast<int>(ttys.size()));
    usb.UseDriver(&TheKernelFtdi());
    uint32_t opened = 0;
    return TryUsbDevices(static_cast<uint32_t>(ttys.size()), &opened);
}

bool Reopen() {
    RERODADA_TRACE("re-opening %s %d...", Active_Connection->TypeName(),
                   Active_Connection->GetPort());
    return Active_Connection->Reopen();
}

} // namespace

void ExceptionCaught(const char* function) noexcept {
    try {
        throw;
    } catch (const std::exception& e) {
        RERODADA_TRACE("%s failed: %s", function, e.what());
    } catch (...) {
        RERODADA_TRACE("%s failed: unknown exception", function);
    }
}

void EnsureInitialised() {
    if (reference_count > 0) return;
    ++reference_count;
    RERODADA_TRACE("reference_count increased to %d", reference_count);
    BuildReport();
    RERODADA_TRACE("\nconstructing new FTDI_DLL():");
    TheFTDIdll = new FTDI_DLL();
    RERODADA_TRACE("\nconstructed FTDI_DLL().");
    atexit(TearDown);
}

} // namespace rerodada

using namespace rerodada;

RERODADA_API(bool) BrimBoardConnect(void) try {
    EnsureInitialised();
    if (Active_Connection->IsConnected()) {
        RERODADA_TRACE("Board is already connected.");
        return true;
    }
    if (!bAutoPortFlag) return Reopen() ? Connected("BrimBoardConnect()") : NoBoard();
    std::vector<std::string> usbTtys;
    if (SearchUsb(&usbTtys)) return Connected("BrimBoardConnect()");
    if (!SelectSerialPort(usbTtys)) return NoBoard();
    Active_Connection = &TheRS232Connection();
    return Connected("BrimBoardConnect()");
} catch (...) {
    return ExceptionResult<bool>(__func__);
}

RERODADA_API(bool) BrimBoardConnectAnyUSB(void) try {
    EnsureInitialised();
    if (Active_Connection->IsConnected()) {
        RERODADA_TRACE("Board is already connected.");
        return true;
    }
    if (!bAutoPortFlag) return Reopen() ? Connected("BrimBoardConnectAnyUSB()") : NoBoard();
    std::vector<std::string> usbTtys;
    return SearchUsb(&usbTtys) ? Connected("BrimBoardConnectAnyUSB()") : NoBoard();
} catch (...) {
    return ExceptionResult<bool>(__func__);
}

RERODADA_API(bool) BrimBoardConnectAnyRS232(void) try {
    EnsureInitialised();
    if (Active_Connection->IsConnected()) {
        RERODADA_TRACE("Board is already connected.");
        return true;
    }
    if (!bAutoPortFlag) return Reopen() ? Connected("BrimBoardConnectAnyRS232()") : NoBoard();
    if (!SelectSerialPort({})) return NoBoard();
    Active_Connection = &TheRS232Connection();
    return Connected("BrimBoardConnectAnyRS232()");
} catch (...) {
    return ExceptionResult<bool>(__func__);
}

RERODADA_API(void) BrimBoardDisconnect(void) try {
    EnsureInitialised();
    Active_Connection->Close();
    ListingMarked("--- ! ---", "BrimBoardDisconnect()");
} catch (...) {
    ExceptionCaught(__func__);
}

RERODADA_API(bool) BrimBoardConnected(void) try {
    EnsureInitialised();
    return Active_Connection->IsConnected();
} catch (...) {
    return ExceptionResult<bool>(__func__);
}

RERODADA_API(bool) BrimBoardAutoPort(bool flag) try {
    EnsureInitialised();
    bAutoPortFlag = flag;
    return true;
} catch (...) {
    return ExceptionResult<bool>(__func__);
}

RERODADA_API(int) BrimBoardSetPort(int) try {
    EnsureInitialised();
    return 0;
} catch (...) {
    return ExceptionResult<int>(__func__);
}

RERODADA_API(int) BrimBoardGetPort(void) try {
    EnsureInitialised();
    return Active_Connection->GetPort();
} catch (...) {
    return ExceptionResult<int>(__func__);
}

RERODADA_API(bool) BrimBoardGetPortName(char* buffer, uint32_t size) try {
    EnsureInitialised();
    if (!Active_Connection->IsConnected() || size == 0 || !buffer) return false;
    return CopyOut(Active_Connection->GetPortName(), buffer, size);
} catch (...) {
    return ExceptionResult<bool>(__func__);
}

RERODADA_API(void) BrimBoardPortListUpdate(void) try {
    EnsureInitialised();
    RERODADA_TRACE("BrimBoardPortListUpdate()");
} catch (...) {
    ExceptionCaught(__func__);
}

RERODADA_API(bool) BrimBoardAutoBaud(bool flag) try {
    EnsureInitialised();
    gAutoBaudFlag = flag;
    return true;
} catch (...) {
    return ExceptionResult<bool>(__func__);
}

RERODADA_API(bool) BrimBoardGetAutoBaud(void) try { return gAutoBaudFlag; } catch (...) {
    return ExceptionResult<bool>(__func__);
}

RERODADA_API(bool) BrimBoardSetBaud(int baud) try {
    EnsureInitialised();
    Reportf("BrimBoardSetBaud(%d)", baud);
    gnBaudRate = static_cast<uint32_t>(baud);
    if (Active_Connection == &TheRS232Connection()) {
        Reportf("RS232 BrimBoardSetBaud(%d)", baud);
        return TheRS232Connection().Set_BaudRate(static_cast<uint32_t>(baud));
    }
    if (Active_Connection == &TheUSBConnection()) {
        Reportf("USB BrimBoardSetBaud(%d)", baud);
        return TheUSBConnection().Set_BaudRate(static_cast<uint32_t>(baud));
    }
    Report("warning: baud rate not supported for this connection type");
    return false;
} catch (...) {
    return ExceptionResult<bool>(__func__);
}

RERODADA_API(uint32_t) BrimBoardGetBaud(void) try {
    EnsureInitialised();
    uint32_t baud;
    if (Active_Connection == &TheRS232Connection()) {
        baud = TheRS232Connection().BaudRate();
    } else if (Active_Connection == &TheUSBConnection()) {
        baud = TheUSBConnection().BaudRate();
    } else {
        Report("warning: baud rate not supported for this connection type");
        baud = gnBaudRate;
    }
    Reportf("BrimBoardGetBaud() returning %u", baud);
    return baud;
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}

RERODADA_API(bool) BrimBoardGetBanner(char* buffer, uint32_t size) try {
    EnsureInitialised();
    if (!Active_Connection->IsConnected() || size == 0 || !buffer) {
        RERODADA_TRACE("\nbuffer_size=%d", static_cast<int>(size));
        return false;
    }
    return CopyOut(Active_Connection->GetBanner(), buffer, size);
} catch (...) {
    return ExceptionResult<bool>(__func__);
}

RERODADA_API(void) BrimBoardReset(void) try {
    EnsureInitialised();
    Active_Connection->Reset();
    ListingMarked("--- ! ---", "BrimBoardReset()");
} catch (...) {
    ExceptionCaught(__func__);
}

RERODADA_API(bool)
BrimBoardConfirmFirmwareVersion(uint8_t major, uint8_t minor, uint8_t build) try {
    EnsureInitialised();
    Reportf("BrimBoardConfirmFirmwareVersion(%2.2d,%2.2d,%2.2d)...", major, minor, build);
    static const uint8_t query[] = {0xC2, 0x01};
    bool ok = ReroDadaStringWrite(query, 2, 4) == 1 && ReroDadaResultCharCount() == 4 &&
              ReroDadaResultChar(3) == 0xD2;
    uint8_t boardMajor = ReroDadaResultChar(0);
    uint8_t boardMinor = ReroDadaResultChar(1);
    uint8_t boardBuild = ReroDadaResultChar(2);
    Reportf("BRIM_getFirmwareVersion_majorMinorBuild reports firmware version "
            "(%2.2d,%2.2d,%2.2d)...",
            boardMajor, boardMinor, boardBuild);
    if (boardMajor < major)
        ok = false;
    else if (boardMajor == major && boardMinor < minor)
        ok = false;
    else if (boardMajor == major && boardMinor == minor && boardBuild < build)
        ok = false;
    Reportf("BrimBoardConfirmFirmwareVersion(%2.2d,%2.2d,%2.2d) = %d", major, minor, build, ok);
    return ok;
} catch (...) {
    return ExceptionResult<bool>(__func__);
}

RERODADA_API(bool)
BrimBoardGetUSBDeviceInfo(uint16_t* vid, uint16_t* pid, char* serial, char* description) try {
    EnsureInitialised();
    bool ok = false;
    uint32_t id = 0;
    if (Active_Connection == &TheUSBConnection() && TheUSBConnection().IsOpen())
        ok = TheUSBConnection().DeviceInfo(&id, serial, description);
    if (ok) {
        if (vid) *vid = static_cast<uint16_t>(id >> 16);
        if (pid) *pid = static_cast<uint16_t>(id & 0xFFFF);
    }
    char text[128];
    snprintf(text, sizeof text, "BrimBoardGetUSBDeviceInfo() = %d", ok);
    ListingMarked("--- ! ---", text);
    if (vid && pid) {
        const char* desc = ok && description ? description : "";
        const char* sn = ok && serial ? serial : "";
        snprintf(text, sizeof text, "USB VID=0x%4.4X, PID=0x%4.4X; %.25s%.25s%.25s", *vid, *pid,
                 desc, sn[0] ? " S/N " : "", sn);
        ListingMarked("--- ! ---", text);
    }
    if (ok && TheUSBConnection().Driver() == &TheKernelFtdi()) {
        snprintf(text, sizeof text, "reached through the kernel driver at %.80s",
                 TheKernelFtdi().Path().c_str());
        ListingMarked("--- ! ---", text);
    }
    return ok;
} catch (...) {
    return ExceptionResult<bool>(__func__);
}

RERODADA_API(void) BrimBoardBannerRequiresPrefix(const char* prefix) try {
    // At most 31 characters, so the prefix always ends in its zero.
    snprintf(szRequiredBannerPrefix, sizeof szRequiredBannerPrefix, "%s", prefix ? prefix : "");
} catch (...) {
    ExceptionCaught(__func__);
}

RERODADA_API(void) BrimBoardBanner_GetRequiredPrefix(char* buffer, uint32_t size) try {
    if (!buffer) return;
    strncpy(buffer, szRequiredBannerPrefix, size);
} catch (...) {
    ExceptionCaught(__func__);
}
