// The USB board through the kernel's own FTDI driver: the simulator serves a
// USB board's chip (8N2, RTS/CTS, the USB rates) on a pseudo-terminal named by
// RERODADA_USB_TTYS, and the D2XX library lists no device.
#include "SimulatedKit.h"

#include "platform/PosixSerialCalls.h"

#include <cerrno>
#include <filesystem>
#include <memory>
#include <unistd.h>

using namespace linktest;
namespace fs = std::filesystem;

namespace {

// The board's tty under a fixed name, as udev gives it, so that a restarted
// simulator (a new pseudo-terminal) is the same device. It is also listed as
// a serial port, which the serial search must leave alone.
class KernelDriverBoard : public ::testing::Test {
  protected:
    void SetUp() override {
        ReloadUsb("usb.devices = 0");
        setenv("RERODADA_USB_TTYS", (link.string() + "=PL000001=PODLINK USB").c_str(), 1);
        setenv("RERODADA_SERIAL_PORTS", link.c_str(), 1);
    }
    void TearDown() override {
        ResetLibraryState();
        rerodada::platform::SerialCalls() = rerodada::platform::RealSerialCalls();
        setenv("RERODADA_USB_TTYS", "", 1);
        setenv("RERODADA_SERIAL_PORTS", "", 1);
        fs::remove(link);
        ReloadUsb("");
    }
    void Serve(const std::string& config) {
        pty = std::make_unique<PtyBoard>(config, true);
        fs::remove(link);
        fs::create_symlink(pty->path(), link);
    }
    const fs::path link = fs::temp_directory_path() / ("ttyUSB-" + std::to_string(getpid()));
    std::unique_ptr<PtyBoard> pty;
};

// Twice, on a new simulator: the same device, reconnected.
TEST_F(KernelDriverBoard, ConnectsProbesReadsAndWrites) {
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run);
        Serve("baud = 921600");
        ASSERT_TRUE(BrimBoardConnect());
        char port[32] = {}, serial[16] = {}, description[64] = {};
        BrimBoardGetPortName(port, sizeof port);
        EXPECT_STREQ(port, "USB:0");
        pty->board.clearTraffic();
        EXPECT_EQ(BrimSMBusWriteByte(kChip, 0x02, 0x0A), 1u);
        EXPECT_EQ(pty->board.chipRegister(0x02), 0x0A);
        ASSERT_FALSE(pty->board.hostBytes().empty());
        EXPECT_EQ(pty->board.hostBytes()[1], 0x05) << "native frames: the probe found them";
        uint16_t vid = 0, pid = 0;
        const std::string listing = ListingOf(
            [&] { EXPECT_TRUE(BrimBoardGetUSBDeviceInfo(&vid, &pid, serial, description)); });
        EXPECT_EQ(std::string(serial) + "/" + description, "PL000001/PODLINK USB");
        EXPECT_EQ(vid, 0x0403);
        EXPECT_NE(listing.find("reached through the kernel driver at " + link.string()),
                  std::string::npos)
            << listing;
        pty.reset();
        EXPECT_FALSE(BrimBoardConnected()) << "the simulator stopped";
    }
}

TEST_F(KernelDriverBoard, SerialSearchDoesNotTryTheUsbTtyAgain) {
    Serve("");
    BrimBoardBannerRequiresPrefix("Nobody");
    testing::internal::CaptureStdout();
    EXPECT_FALSE(BrimBoardConnect());
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("Skipping COM1"), std::string::npos) << out;
    EXPECT_EQ(out.find("Testing COM1"), std::string::npos) << out;
    EXPECT_GE(pty->board.hostBaud(), 19200u) << "every reset came at a USB rate";
}

// Reads fail (EIO, as from an adapter gone bad) until a tty is closed.
int failedReads = 0, closes = 0;

TEST_F(KernelDriverBoard, TtyWhoseReadsFailIsClosedAndTheSearchGoesOn) {
    PtyBoard broken("", true);
    Serve("baud = 921600");
    setenv("RERODADA_USB_TTYS", (broken.path() + ":" + link.string()).c_str(), 1);
    auto& calls = rerodada::platform::SerialCalls();
    calls.read = [](int fd, void* into, size_t room) {
        return closes == 0 ? (++failedReads, errno = EIO, -1) : ::read(fd, into, room);
    };
    calls.close = [](int fd) { return ++closes, ::close(fd); };
    EXPECT_TRUE(BrimBoardConnect());
    EXPECT_EQ(BrimBoardGetPort(), 1);
    EXPECT_EQ(closes, 1) << "the failing tty was left open";
    EXPECT_LE(failedReads, 6) << "a failed read ends its attempt, one per rate of the table";
}

} // namespace
