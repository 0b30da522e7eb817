// The library over the serial path, on a simulated board served on a
// pseudo-terminal: the rates (the USB paths' too), writes that take their
// time on the line, the re-open of the same device, a second process kept out.
#include "FreshProcess.h"
#include "SimulatedKit.h"

#include <cstdio>
#include <memory>
#include <sys/wait.h>

using namespace linktest;

namespace {

class SerialBoard : public ::testing::Test {
  protected:
    // The only listed serial port.
    void Serve(const std::string& config) {
        pty = std::make_unique<PtyBoard>(config);
        setenv("RERODADA_SERIAL_PORTS", pty->path().c_str(), 1);
    }
    // A fixed-rate open, which goes straight to the board's rate.
    bool ConnectAt(uint32_t baud) {
        BrimBoardAutoBaud(false);
        BrimBoardSetBaud(static_cast<int>(baud));
        return BrimBoardConnectAnyRS232();
    }
    void TearDown() override {
        ResetLibraryState();
        setenv("RERODADA_SERIAL_PORTS", "", 1);
        setenv("RERODADA_USB_TTYS", "", 1);
        ReloadUsb("");
    }
    std::unique_ptr<PtyBoard> pty;
};

TEST_F(SerialBoard, PortableBlockWriteOutlastingTheReplyWindowSucceeds) {
    // Some 510 bytes, 531 ms on the line at 9600 baud, answered as they come.
    Serve("baud = 9600\nline_rate = true");
    ASSERT_TRUE(ConnectAt(9600));
    std::vector<uint8_t> data(250);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i * 7);
    EXPECT_EQ(BrimSMBusWriteBlock_portable(0xA0, 0x80, 250, data.data()), 1u);
    EXPECT_EQ(pty->board.smbusBlock(0xA0, 0x80), data);
}

TEST_F(SerialBoard, ReopenTakesTheDeviceOfTheLastConnection) {
    Serve("");
    ASSERT_TRUE(BrimBoardConnectAnyRS232());
    BrimBoardDisconnect();
    // A hot-plug put another port before it in the listing.
    setenv("RERODADA_SERIAL_PORTS", ("/dev/null:" + pty->path()).c_str(), 1);
    BrimBoardAutoPort(false);
    ASSERT_TRUE(BrimBoardConnectAnyRS232());
    char port[256] = {};
    BrimBoardGetPortName(port, sizeof port);
    EXPECT_EQ(port, pty->path());
}

TEST_F(SerialBoard, SecondProcessCannotTakeTheConnectedPortAndDisturbsNothing) {
    Serve("");
    ASSERT_TRUE(BrimBoardConnectAnyRS232());
    const size_t chunksBefore = pty->board.traffic().size();
    // The connection check as a user would run it, with no USB board to find.
    FILE* pipe = popen(
        "RERODADA_DEBUG=1 RERODADA_D2XX_LIBRARY=/nonexistent " RERODADA_LINKCHECK_PROGRAM " 2>&1",
        "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    for (int c; (c = fgetc(pipe)) != EOF;)
        output += static_cast<char>(c);
    const int exit = pclose(pipe);
    EXPECT_TRUE(WIFEXITED(exit) && WEXITSTATUS(exit) == 1) << output;
    EXPECT_NE(output.find(pty->path() + " is held by another process: skipped"), std::string::npos)
        << output;
    EXPECT_EQ(pty->board.traffic().size(), chunksBefore) << "the second process reached the board";
    for (int i = 0; i < 50; ++i)
        ASSERT_EQ(ChipId(), 0x12) << i;
}

// A board is found at each rate of its transport's table by the automatic
// search, as the program runs it (D2XX, the kernel driver's USB tty, a serial
// port), and at other rates the user sets; setting it again keeps the link.
TEST_F(SerialBoard, ConnectsAtEachRateOfItsTransportsTableAndAtOthersSetByHand) {
    enum Transport { D2xx, KernelTty, Serial, SerialSetByHand };
    const std::vector<uint32_t> usb = {921600, 625000, 460800, 115200, 38400, 19200};
    const std::vector<uint32_t> serial = {115200, 57600, 38400, 19200, 9600};
    const std::pair<Transport, std::vector<uint32_t>> tables[] = {
        {D2xx, usb}, {KernelTty, usb}, {Serial, serial}, {SerialSetByHand, {14400, 250000}}};
    QuickSearch quick;
    for (const auto& [transport, rates] : tables)
        for (const uint32_t baud : rates) {
            SCOPED_TRACE(testing::Message() << "transport " << transport << " at " << baud);
            const std::string config = "baud = " + std::to_string(baud);
            ReloadUsb(transport == D2xx ? config : "usb.devices = 0");
            pty = transport == D2xx ? nullptr
                                    : std::make_unique<PtyBoard>(config, transport == KernelTty);
            setenv("RERODADA_USB_TTYS", transport == KernelTty ? pty->path().c_str() : "", 1);
            setenv("RERODADA_SERIAL_PORTS", transport >= Serial ? pty->path().c_str() : "", 1);
            BrimBoardAutoBaud(transport != SerialSetByHand);
            if (transport == SerialSetByHand) BrimBoardSetBaud(static_cast<int>(baud));
            EXPECT_TRUE(BrimBoardConnect());
            EXPECT_EQ(BrimBoardGetBaud(), baud);
            EXPECT_EQ((pty ? &pty->board : UsbBoard())->hostBaud(), baud);
            EXPECT_TRUE(BrimBoardSetBaud(static_cast<int>(baud)) && BrimBoardConnected());
            BrimBoardDisconnect();
        }
}

// Without the D2XX library, which a library once loaded keeps.
TEST(SerialPath, MissingUsbDriverFallsBackToTheSerialBoard) {
    const auto child = [] {
        auto pty = std::make_unique<PtyBoard>();
        setenv("RERODADA_SERIAL_PORTS", pty->path().c_str(), 1);
        EXPECT_FALSE(BrimBoardConnectAnyUSB());
        EXPECT_TRUE(BrimBoardConnect());
        char port[256] = {};
        BrimBoardGetPortName(port, sizeof port);
        EXPECT_EQ(port, pty->path());
        EXPECT_FALSE(BrimSetUSB_Latency(1)) << "latency is a USB setting";
        uint16_t vid = 0x1111, pid = 0x2222;
        EXPECT_FALSE(BrimBoardGetUSBDeviceInfo(&vid, &pid, nullptr, nullptr));
        EXPECT_EQ(vid + pid, 0x3333) << "a serial board has no USB identity: the values stay";
        // A stopped simulator is no board.
        BrimBoardDisconnect();
        pty.reset();
        EXPECT_FALSE(BrimBoardConnect());
        return !::testing::Test::HasFailure();
    };
    EXPECT_EQ(freshprocess::run(CurrentTestName(), {"RERODADA_D2XX_LIBRARY=/nonexistent"}, child),
              0);
}

TEST(FreshLibrary, ReopenWithoutAnyEarlierConnectionTouchesNoPort) {
    const auto child = [] {
        PtyBoard pty;
        setenv("RERODADA_SERIAL_PORTS", pty.path().c_str(), 1);
        BrimBoardAutoPort(false);
        EXPECT_FALSE(BrimBoardConnect() || BrimBoardConnectAnyRS232());
        EXPECT_TRUE(pty.board.traffic().empty());
        EXPECT_TRUE(UsbBoard()->hostBytes().empty());
        return !::testing::Test::HasFailure();
    };
    EXPECT_EQ(freshprocess::run(CurrentTestName(), {}, child), 0);
}

} // namespace
