// Faults of the link under a connected or searching library: a board that
// holds CTS, a tty that hangs up, a port another program has locked, a D2XX
// library that lists what it cannot open, a port plugged in mid-search.
#include "SimulatedKit.h"

#include "platform/PosixSerialCalls.h"

#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/ioctl.h>
#include <unistd.h>

using namespace linktest;
namespace fs = std::filesystem;
using rerodada::platform::RealSerialCalls;
using rerodada::platform::SerialCalls;

namespace {

enum class Fault { None, CtsHeldOff, ReadHangsUp, ReadFailsEio, PortPluggedInMidSearch };

// What the driver does once the fault is on; the real calls otherwise.
Fault active = Fault::None;
// The link's clock while CTS is held off: it moves only by the link's sleeps.
uint64_t waitedUs = 0;
const fs::path dir = fs::temp_directory_path() / ("link-faults-" + std::to_string(getpid()));
const std::string gone = (dir / "ttyS-gone").string(), plugged = (dir / "ttyS-new").string(),
                  board = (dir / "ttyS-board").string();

void InjectFaults() {
    auto& calls = SerialCalls();
    calls.ioctl = [](int fd, unsigned long request, void* argument) {
        // Bytes stay queued and tcdrain would wait for ever.
        if (active == Fault::CtsHeldOff && request == TCSBRK) ADD_FAILURE() << "unbounded drain";
        if (active != Fault::CtsHeldOff || (request != TIOCOUTQ && request != TIOCMGET))
            return ::ioctl(fd, request, argument);
        *static_cast<int*>(argument) = request == TIOCOUTQ ? 5 : TIOCM_DSR;
        return 0;
    };
    calls.read = [](int fd, void* into, size_t room) -> ssize_t {
        if (active == Fault::ReadHangsUp) return 0;
        if (active == Fault::ReadFailsEio) return errno = EIO, -1;
        return ::read(fd, into, room);
    };
    calls.poll = [](pollfd* fds, nfds_t count, int ms) {
        if (active != Fault::ReadHangsUp) return ::poll(fds, count, ms);
        fds[0].revents = POLLHUP;
        return 1;
    };
    calls.nowMicroseconds = [] {
        return active == Fault::CtsHeldOff ? waitedUs : RealSerialCalls().nowMicroseconds();
    };
    calls.sleepMicroseconds = [](uint64_t us) {
        active == Fault::CtsHeldOff ? void(waitedUs += us)
                                    : RealSerialCalls().sleepMicroseconds(us);
    };
    calls.open = [](const char* path, int flags) {
        if (active == Fault::PortPluggedInMidSearch && path == gone)
            setenv("RERODADA_SERIAL_PORTS", (plugged + ":" + gone + ":" + board).c_str(), 1);
        return ::open(path, flags);
    };
}

struct Row {
    const char* what;
    bool usbTty;          // served as the kernel driver's USB tty, else as a serial port
    const char* lockFile; // the board's UUCP lock file beforehand (null: none)
    Fault fault;
    bool connects, reads, connectedAfter;
    const char* portName; // after the connect
    const char* traced;
    uint32_t waitedMs = 0;                     // by a write, on the link's clock
    const char* usbConfig = "usb.devices = 0"; // the D2XX stand-in
};

TEST(LinkFaults, EndBoundedTracedAndLeaveOtherProgramsPortsAlone) {
    const Row rows[] = {
        {"CTS held off", true, nullptr, Fault::CtsHeldOff, true, false, true, "USB:0",
         "write timed out: CTS held off by the board", 300},
        {"read 0, POLLHUP", false, nullptr, Fault::ReadHangsUp, true, false, false, "ttyS-board",
         "device lost: No such device"},
        {"read EIO", false, nullptr, Fault::ReadFailsEio, true, false, false, "ttyS-board",
         "device lost: Input/output error"},
        {"live lock (HDB, init)", false, "         1\n", Fault::None, false, false, false, "",
         "ttyS-board is locked by process 1: skipped"},
        {"stale lock (binary, past pid_max)", false, "\xff\xff\xff\x7f", Fault::None, true, true,
         true, "ttyS-board", "connected = true"},
        {"D2XX lists, cannot open", true, nullptr, Fault::None, true, true, true, "USB:0",
         "USB device driver lists 1 device(s) but opens none", 0,
         "usb.devices = 1\nusb.open_fails = true"},
        {"port plugged in mid-search", false, nullptr, Fault::PortPluggedInMidSearch, true, true,
         true, "ttyS-board", "ttyS-gone cannot be opened"},
    };
    QuickSearch quick;
    fs::create_directories(dir);
    setenv("RERODADA_LOCK_DIRS", dir.c_str(), 1);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ReloadUsb(row.usbConfig);
        PtyBoard pty(row.usbTty ? "baud = 921600" : "", row.usbTty);
        const fs::path link = dir / (row.usbTty ? "ttyUSB-board" : "ttyS-board");
        fs::create_symlink(pty.path(), link);
        const fs::path lock = dir / ("LCK.." + link.filename().string());
        if (row.lockFile) std::ofstream(lock) << row.lockFile;
        const bool shifts = row.fault == Fault::PortPluggedInMidSearch;
        setenv("RERODADA_USB_TTYS", row.usbTty ? (link.string() + "=PL1=PODLINK USB").c_str() : "",
               1);
        setenv("RERODADA_SERIAL_PORTS", ((shifts ? gone + ":" : "") + link.string()).c_str(), 1);
        InjectFaults();
        active = shifts ? row.fault : Fault::None; // the others after the connect
        waitedUs = 0;
        bool connected = false;
        uint8_t id = 0;
        char port[256] = {};
        const std::string trace = TraceOf([&] {
            connected = BrimBoardConnect();
            BrimBoardGetPortName(port, sizeof port);
            active = row.fault;
            id = ChipId();
        });
        active = Fault::None;
        EXPECT_EQ(connected, row.connects);
        EXPECT_NEAR(waitedUs, row.waitedMs * 1000u, 1000u) << "the write time-out, then no more";
        EXPECT_EQ(id, row.reads ? 0x12 : 0);
        EXPECT_EQ(BrimBoardConnected(), row.connectedAfter);
        EXPECT_EQ(fs::path(port).filename().string(), row.portName);
        EXPECT_NE(trace.find(row.traced), std::string::npos) << trace;
        EXPECT_EQ(pty.board.hostBytes().empty(), !row.connects) << "the board saw the search";
        std::ifstream in(lock);
        const std::string held(std::istreambuf_iterator<char>(in), {});
        // HDB: ten digits and a newline.
        if (row.connectedAfter) {
            EXPECT_EQ(held.size() == 11 ? atol(held.c_str()) : 0, getpid());
        }
        ResetLibraryState();
        SerialCalls() = RealSerialCalls();
        fs::remove(link);
        fs::remove(lock);
    }
    for (const char* name : {"RERODADA_LOCK_DIRS", "RERODADA_USB_TTYS", "RERODADA_SERIAL_PORTS"})
        setenv(name, "", 1);
    ReloadUsb("");
    fs::remove_all(dir);
}

} // namespace
