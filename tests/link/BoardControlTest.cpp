// The library over USB on the D2XX stand-in: finding, resetting and losing the
// board, and what the C interface hands back.
#include "SimulatedKit.h"

#include "USB_Connection.h"

#include <cstring>
#include <stdexcept>

using namespace linktest;
using Bytes = std::vector<uint8_t>;

namespace {

class UsbKit : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetLibraryState();
        ReloadUsb("");
    }
    void TearDown() override { ResetLibraryState(); }
    static std::string Text(bool(RERODADA_CALL* get)(char*, uint32_t)) {
        char text[256] = {};
        return get(text, sizeof text) ? text : "(failed)";
    }
};

TEST_F(UsbKit, ConnectsOverUsbAndSetsTheLatencyTimer) {
    ASSERT_TRUE(BrimBoardConnect());
    EXPECT_EQ(Text(BrimBoardGetPortName), "USB:0");
    EXPECT_EQ(Text(BrimBoardGetBanner).rfind("Kelvo PODLINK", 0), 0u);
    EXPECT_EQ(BrimBoardGetPort(), 0);
    EXPECT_TRUE(BrimSetUSB_Latency(1));
    EXPECT_EQ(UsbBoard()->latencyTimerMs(), 1);
    uint16_t vid = 0, pid = 0;
    char serial[64] = {}, description[64] = {};
    ASSERT_TRUE(BrimBoardGetUSBDeviceInfo(&vid, &pid, serial, description));
    EXPECT_EQ(vid * 0x10000 + pid, 0x04036001);
    EXPECT_EQ(std::string(serial) + "/" + description, "PL000001/PODLINK USB");
    UsbBoard()->clearTraffic();
    EXPECT_TRUE(BrimBoardConnect());
    EXPECT_TRUE(UsbBoard()->hostBytes().empty()) << "connecting when connected changes nothing";
}

TEST_F(UsbKit, SearchTriesOneDeviceWhenListingFails) {
    QuickSearch quick;
    // Device 1 answers: had it been tried, the connect would have succeeded.
    ReloadUsb("usb.devices = 2\nusb.silent = 0\nusb.list_fails = 1\n");
    EXPECT_FALSE(BrimBoardConnectAnyUSB());
}

TEST_F(UsbKit, BoardHeldInResetByTheOtherDtrLevelIsFoundAndRemembered) {
    ReloadUsb("reset_dtr = clear\n");
    ASSERT_TRUE(BrimBoardConnect());
    EXPECT_TRUE(rerodada::TheUSBConnection().ResetOnDTRhigh());
    ASSERT_TRUE(BrimBoardSetBaud(921600));
    BrimBoardDisconnect();
    // A fixed-baud open gives up when its first reset brings no valid banner,
    // so it connects only if it starts with the polarity that worked.
    BrimBoardAutoBaud(false);
    ASSERT_TRUE(BrimBoardConnect());
}

TEST_F(UsbKit, ReopenWithoutPortSearchUsesTheSameDevice) {
    // Another program holds the first kit, so the search takes the second.
    ReloadUsb("usb.devices = 2\n");
    void* held = nullptr;
    ASSERT_EQ(standin::hook<uint32_t(RERODADA_CALL*)(int, void**)>("FT_Open")(0, &held), 0u);
    ASSERT_TRUE(BrimBoardConnect());
    EXPECT_EQ(BrimBoardGetPort(), 1);
    standin::hook<uint32_t(RERODADA_CALL*)(void*)>("FT_Close")(held);
    BrimBoardDisconnect();
    EXPECT_FALSE(BrimBoardConnected());
    BrimBoardAutoPort(false);
    UsbBoard(0)->clearTraffic();
    ASSERT_TRUE(BrimBoardConnect());
    EXPECT_EQ(Text(BrimBoardGetPortName), "USB:1");
    EXPECT_TRUE(UsbBoard(0)->hostBytes().empty());
}

TEST_F(UsbKit, BannerCopyFollowsTheBufferSizeAndNeedsABoard) {
    ReloadUsb("banner = Kelvo PODLINK 0123456789012345678901234\n");
    ASSERT_TRUE(BrimBoardConnect());
    char buffer[64];
    memset(buffer, 'z', sizeof buffer);
    EXPECT_TRUE(BrimBoardGetBanner(buffer, 10));
    EXPECT_EQ(std::string(buffer, 11), std::string("Kelvo POD\0z", 11));
    EXPECT_FALSE(BrimBoardGetBanner(buffer, 0));
    EXPECT_EQ(buffer[0], 'K');
    EXPECT_TRUE(BrimBoardGetBanner(buffer, sizeof buffer));
    EXPECT_EQ(buffer[63], 0) << "the rest of the buffer is zero-filled";
    BrimBoardDisconnect();
    EXPECT_EQ(Text(BrimBoardGetBanner) + Text(BrimBoardGetPortName), "(failed)(failed)");
}

TEST_F(UsbKit, FirmwareVersionComparesMajorMinorBuildInOrder) {
    const std::pair<const char*, bool> rows[] = {
        {"1.5.47", true}, {"1.5.46", false}, {"2.0.0", true}, {"1.4.99", false}, {"1.6.0", true}};
    for (const auto& [board, passes] : rows) {
        SCOPED_TRACE(board);
        ReloadUsb(std::string("firmware = ") + board + "\n");
        ASSERT_TRUE(BrimBoardConnect());
        UsbBoard()->clearTraffic();
        EXPECT_EQ(BrimBoardConfirmFirmwareVersion(1, 5, 47), passes);
        EXPECT_EQ(UsbBoard()->hostBytes(), (Bytes{0xC2, 0x01}));
        EXPECT_TRUE(BrimBoardConnected());
        BrimBoardDisconnect();
    }
}

TEST_F(UsbKit, UnpluggedBoardIsNoticedAndReleased) {
    ASSERT_TRUE(BrimBoardConnect());
    UsbBoard()->unplug();
    const Bytes start = {0xA0, 0x00};
    const std::string trace = TraceOf([&] {
        EXPECT_FALSE(BrimBoardConnected());
        EXPECT_FALSE(rerodada::TheUSBConnection().IsOpen()) << "the device handle was kept";
        EXPECT_FALSE(ReroDadaStringWrite(start.data(), 2, 1));
    });
    EXPECT_NE(trace.find("IsConnected(): Closing."), std::string::npos) << trace;
    EXPECT_NE(trace.find("\n\tfailure: invalid handle!"), std::string::npos) << trace;
}

TEST_F(UsbKit, RawExchangesReadWhatWasAskedFor) {
    ASSERT_TRUE(BrimBoardConnect());
    const Bytes start = {0xA0, 0x00};
    EXPECT_TRUE(ReroDadaStringWrite(start.data(), 2, 0));
    EXPECT_EQ(ReroDadaResultCharCount(), 0u) << "no reply was asked for";
    // The answer nobody read is still waiting and arrives with the next one.
    EXPECT_TRUE(ReroDadaStringWrite(start.data(), 2, 2));
    EXPECT_EQ(ReroDadaResultCharCount(), 2u);
    EXPECT_EQ(ReroDadaResultChar(0) + ReroDadaResultChar(1), 2 * 0xB0);
    EXPECT_EQ(ReroDadaResultChar(2), 0);
    // A reply that stalls part way ends by the overall limit, not the idle time.
    podsim::Fault stall;
    stall.kind = podsim::FaultKind::Stall;
    stall.bytes = 1;
    UsbBoard()->setFault(stall);
    const std::string trace =
        TraceOf([&] { EXPECT_TRUE(ReroDadaStringWrite(start.data(), 2, 2)); });
    EXPECT_EQ(ReroDadaResultCharCount(), 1u);
    EXPECT_NE(trace.find("terminated by gnGROSS"), std::string::npos) << trace;
    EXPECT_EQ(trace.find("terminated by gnREAD_IDLE"), std::string::npos) << trace;
}

void RERODADA_CALL Throwing(const char*) {
    throw std::runtime_error("caller's callback");
}

TEST_F(UsbKit, CallThatCannotBeServedOrThrowsFailsWithNothingSent) {
    ASSERT_TRUE(BrimBoardConnect());
    UsbBoard()->clearTraffic();
    uint8_t data[1] = {};
    uint32_t received = 7;
    EXPECT_EQ(BrimI2CWriteAndReadBytes(kChip, 1, 0xFFFFFFFF, data, data, &received), 0u);
    EXPECT_EQ(BrimI2CWriteAndReadBytes_portable(kChip, 1, 0xFFFFFFFF, data, data, &received), 0u);
    EXPECT_EQ(BrimI2CWriteAndReadBytes_native(kChip, 0x80000000, 0, data, data, &received), 0u);
    EXPECT_EQ(received, 0u);
    EXPECT_TRUE(UsbBoard()->hostBytes().empty());
    BrimLogCallback(Throwing);
    EXPECT_EQ(ChipId(), 0) << "an exception from the caller's callback";
    BrimLogCallback(nullptr);
    EXPECT_EQ(ChipId(), 0x12);
}

} // namespace
