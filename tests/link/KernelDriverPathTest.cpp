// The USB board through the kernel's own FTDI driver, end to end: the
// simulator serves a USB board's chip (8N2, RTS/CTS, the USB rates) on a
// pseudo-terminal named by RERODADA_USB_TTYS, and the D2XX library lists
// no device.
#include "SimulatedKit.h"

#include "PtyServer.h"
#include "rerodada.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

using namespace linktest;
namespace fs = std::filesystem;

namespace {

constexpr uint8_t kChip = 0x2A;

// The board's tty under a fixed name, as udev would give it, so that a
// restarted simulator (a new pseudo-terminal) is the same device.
class KernelDriverBoard : public ::testing::Test {
  protected:
    void SetUp() override {
        ReloadUsb("usb.devices = 0");
        char pattern[] = "/tmp/kernel-ftdi-XXXXXX";
        dir = mkdtemp(pattern);
        link = dir / "ttyUSB0";
        setenv("RERODADA_USB_TTYS", (link.string() + "=PL000001=PODLINK USB").c_str(), 1);
        // Also listed as a serial port, which the serial search must leave alone.
        setenv("RERODADA_SERIAL_PORTS", link.c_str(), 1);
    }
    void TearDown() override {
        ResetLibraryState();
        setenv("RERODADA_USB_TTYS", "", 1);
        setenv("RERODADA_SERIAL_PORTS", "", 1);
        if (server) server->stop();
        StopProgram();
        fs::remove_all(dir);
        ReloadUsb("");
    }
    void Plug(const std::string& pty) {
        fs::remove(link);
        fs::create_symlink(pty, link);
    }
    void Serve(const std::string& config) {
        board = std::make_unique<podsim::Board>(podsim::Config::fromText(config));
        server = std::make_unique<podsim::PtyServer>(*board);
        server->setUsb(true);
        ASSERT_TRUE(server->start()) << server->error();
        Plug(server->slavePath());
    }
    // podlink-sim --usb as its own process.
    void StartProgram() {
        int out[2];
        ASSERT_EQ(pipe(out), 0);
        program = fork();
        if (program == 0) {
            dup2(out[1], STDOUT_FILENO);
            close(out[0]);
            execl(PODLINK_SIM_PROGRAM, PODLINK_SIM_PROGRAM, "--usb", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(out[1]);
        std::string pty;
        char c;
        while (read(out[0], &c, 1) == 1 && c != '\n')
            pty += c;
        close(out[0]);
        ASSERT_FALSE(pty.empty());
        Plug(pty);
    }
    void StopProgram() {
        if (program <= 0) return;
        kill(program, SIGTERM);
        waitpid(program, nullptr, 0);
        program = -1;
    }
    fs::path dir;
    fs::path link;
    std::unique_ptr<podsim::Board> board;
    std::unique_ptr<podsim::PtyServer> server;
    pid_t program = -1;
};

class UsbRate : public KernelDriverBoard, public ::testing::WithParamInterface<uint32_t> {};

TEST_P(UsbRate, ConnectsProbesReadsAndWrites) {
    Serve("baud = " + std::to_string(GetParam()));
    ASSERT_TRUE(BrimBoardConnect());
    char port[32] = {}, banner[256] = {};
    BrimBoardGetPortName(port, sizeof port);
    BrimBoardGetBanner(banner, sizeof banner);
    EXPECT_STREQ(port, "USB:0");
    EXPECT_EQ(std::string(banner).rfind("Kelvo PODLINK", 0), 0u) << banner;
    EXPECT_EQ(BrimBoardGetBaud(), GetParam());
    EXPECT_EQ(board->hostBaud(), GetParam());
    EXPECT_EQ(BrimSupportsNativeSMBusCommands(), 1);

    board->clearTraffic();
    EXPECT_EQ(BrimSMBusWriteByte(kChip, 0x02, 0x0A), 1u);
    EXPECT_EQ(board->chipRegister(0x02), 0x0A);
    uint8_t value = 0;
    EXPECT_EQ(BrimSMBusReadByte(kChip, 0x02, &value), 1u);
    EXPECT_EQ(value, 0x0A);
    // Native frames: the probe found the board's commands.
    ASSERT_FALSE(board->hostBytes().empty());
    EXPECT_EQ(board->hostBytes()[1], 0x05);
}

INSTANTIATE_TEST_SUITE_P(Rates, UsbRate, ::testing::Values(921600u, 625000u));

TEST_F(KernelDriverBoard, DeviceInfoNamesTheKernelDriver) {
    Serve("");
    ASSERT_TRUE(BrimBoardConnectAnyUSB());
    std::string listing;
    static std::string* sink = &listing;
    BrimLogCallback([](const char* text) { *sink += text; });
    uint16_t vid = 0, pid = 0;
    char serial[16] = {}, description[64] = {};
    EXPECT_TRUE(BrimBoardGetUSBDeviceInfo(&vid, &pid, serial, description));
    BrimLogCallback(nullptr);
    EXPECT_STREQ(serial, "PL000001");
    EXPECT_STREQ(description, "PODLINK USB");
    EXPECT_EQ(vid, 0x0403);
    EXPECT_NE(listing.find("reached through the kernel driver at " + link.string()),
              std::string::npos)
        << listing;
}

TEST_F(KernelDriverBoard, SerialSearchDoesNotTryTheUsbTtyAgain) {
    Serve("");
    BrimBoardBannerRequiresPrefix("Nobody");
    testing::internal::CaptureStdout();
    EXPECT_FALSE(BrimBoardConnect());
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("Skipping COM1"), std::string::npos) << out;
    EXPECT_EQ(out.find("Testing COM1"), std::string::npos) << out;
    // Every reset the board saw came at a USB rate.
    EXPECT_GE(board->hostBaud(), 19200u);
}

TEST_F(KernelDriverBoard, ReconnectsAfterTheSimulatorRestarts) {
    StartProgram();
    ASSERT_TRUE(BrimBoardConnect());
    StopProgram();
    EXPECT_FALSE(BrimBoardConnected());
    StartProgram();
    ASSERT_TRUE(BrimBoardConnect());
    uint8_t id = 0;
    EXPECT_EQ(BrimSMBusReadByte(kChip, 0x00, &id), 1u);
    EXPECT_EQ(id, 0x12);
}

} // namespace
