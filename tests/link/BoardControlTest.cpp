#include "SimulatedKit.h"

#include "USB_Connection.h"
#include "platform/Tick.h"
#include "rerodada.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace linktest;

namespace {

class UsbKit : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetLibraryState();
        ReloadUsb("");
    }
    void TearDown() override { ResetLibraryState(); }
};

TEST_F(UsbKit, ConnectsOverUsbAndSetsTheLatencyTimer) {
    ASSERT_TRUE(BrimBoardConnect());
    char port[32] = {};
    ASSERT_TRUE(BrimBoardGetPortName(port, sizeof port));
    EXPECT_STREQ(port, "USB:0");
    char banner[256] = {};
    ASSERT_TRUE(BrimBoardGetBanner(banner, sizeof banner));
    EXPECT_EQ(std::string(banner).rfind("Kelvo PODLINK", 0), 0u) << banner;
    EXPECT_EQ(BrimBoardGetBaud(), 921600u);
    EXPECT_TRUE(BrimSetUSB_Latency(1));
    EXPECT_EQ(UsbBoard()->latencyTimerMs(), 1);
    EXPECT_EQ(BrimBoardGetPort(), 0);
    // Connecting when connected changes nothing.
    UsbBoard()->clearTraffic();
    EXPECT_TRUE(BrimBoardConnect());
    EXPECT_TRUE(UsbBoard()->hostBytes().empty());
}

TEST_F(UsbKit, BoardAnsweringAtALowerRateIsFoundFurtherDownTheTable) {
    ReloadUsb("baud = 115200\n");
    ASSERT_TRUE(BrimBoardConnectAnyUSB());
    EXPECT_EQ(BrimBoardGetBaud(), 115200u);
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
    EXPECT_TRUE(rerodada::TheUSBConnection().ResetOnDTRhigh());
}

TEST_F(UsbKit, ReopenWithoutPortSearchUsesTheSameDevice) {
    ReloadUsb("usb.devices = 2\n");
    ASSERT_TRUE(BrimBoardConnect());
    BrimBoardDisconnect();
    EXPECT_FALSE(BrimBoardConnected());
    BrimBoardAutoPort(false);
    UsbBoard(1)->clearTraffic();
    ASSERT_TRUE(BrimBoardConnect());
    EXPECT_EQ(BrimBoardGetPort(), 0);
    EXPECT_TRUE(UsbBoard(1)->hostBytes().empty());
}

TEST_F(UsbKit, ListFailureMeansExactlyOneDeviceIsTried) {
    ReloadUsb("usb.devices = 2\nusb.silent = 0\nusb.list_fails = 1\n");
    // Device 1 answers: had it been tried, the connect would have succeeded.
    EXPECT_FALSE(BrimBoardConnectAnyUSB());
}

TEST_F(UsbKit, BannerCopyFollowsTheBufferSizeAndNeedsABoard) {
    ReloadUsb("banner = Kelvo PODLINK 0123456789012345678901234\n");
    ASSERT_TRUE(BrimBoardConnect());
    char small[10];
    memset(small, 'z', sizeof small);
    EXPECT_TRUE(BrimBoardGetBanner(small, sizeof small));
    EXPECT_STREQ(small, "Kelvo POD");
    char untouched[4] = {'a', 'b', 'c', 0};
    EXPECT_FALSE(BrimBoardGetBanner(untouched, 0));
    EXPECT_STREQ(untouched, "abc");
    char big[64];
    memset(big, 'z', sizeof big);
    EXPECT_TRUE(BrimBoardGetBanner(big, sizeof big));
    EXPECT_EQ(big[63], 0) << "the rest of the buffer is zero-filled";

    BrimBoardDisconnect();
    char buffer[8] = "keep";
    EXPECT_FALSE(BrimBoardGetBanner(buffer, sizeof buffer));
    EXPECT_FALSE(BrimBoardGetPortName(buffer, sizeof buffer));
    EXPECT_STREQ(buffer, "keep");
}

struct VersionCase {
    const char* board;
    uint8_t major, minor, build;
    bool passes;
};

class FirmwareVersion : public UsbKit, public ::testing::WithParamInterface<VersionCase> {};

TEST_P(FirmwareVersion, ComparesMajorMinorBuildInOrder) {
    const VersionCase& c = GetParam();
    ReloadUsb(std::string("firmware = ") + c.board + "\n");
    ASSERT_TRUE(BrimBoardConnect());
    UsbBoard()->clearTraffic();
    EXPECT_EQ(BrimBoardConfirmFirmwareVersion(c.major, c.minor, c.build), c.passes);
    EXPECT_EQ(UsbBoard()->hostBytes(), (std::vector<uint8_t>{0xC2, 0x01}));
    EXPECT_TRUE(BrimBoardConnected());
}

INSTANTIATE_TEST_SUITE_P(Versions, FirmwareVersion,
                         ::testing::Values(VersionCase{"1.5.47", 1, 5, 47, true},
                                           VersionCase{"1.5.46", 1, 5, 47, false},
                                           VersionCase{"2.0.0", 1, 5, 47, true},
                                           VersionCase{"1.4.99", 1, 5, 47, false},
                                           VersionCase{"1.6.0", 1, 5, 47, true}));

TEST_F(UsbKit, MalformedFirmwareReplyFailsWhateverItsNumbers) {
    ReloadUsb("firmware = 9.9.9\n");
    ASSERT_TRUE(BrimBoardConnect());
    podsim::Fault cut;
    cut.kind = podsim::FaultKind::Cut;
    cut.bytes = 3;
    UsbBoard()->setFault(cut);
    EXPECT_FALSE(BrimBoardConfirmFirmwareVersion(1, 0, 0));
    podsim::Fault wrong;
    wrong.kind = podsim::FaultKind::WrongCompletion;
    UsbBoard()->setFault(wrong);
    EXPECT_FALSE(BrimBoardConfirmFirmwareVersion(1, 0, 0));
    UsbBoard()->clearFault();
    EXPECT_TRUE(BrimBoardConfirmFirmwareVersion(1, 0, 0));
}

TEST_F(UsbKit, UsbDeviceInfoOfTheOpenDevice) {
    ASSERT_TRUE(BrimBoardConnect());
    uint16_t vid = 0, pid = 0;
    char serial[64] = {}, description[64] = {};
    ASSERT_TRUE(BrimBoardGetUSBDeviceInfo(&vid, &pid, serial, description));
    EXPECT_EQ(vid, 0x0403);
    EXPECT_EQ(pid, 0x6001);
    EXPECT_STREQ(description, "PODLINK USB");
    EXPECT_STREQ(serial, "PL000001");
}

TEST_F(UsbKit, UnpluggedBoardIsNoticedAndReleased) {
    ASSERT_TRUE(BrimBoardConnect());
    UsbBoard()->unplug();
    EXPECT_FALSE(BrimBoardConnected());
    EXPECT_FALSE(rerodada::TheUSBConnection().IsOpen()) << "the device handle was kept";
    const uint8_t query[] = {0xC2, 0x01};
    EXPECT_FALSE(ReroDadaStringWrite(query, 2, 4));
}

TEST_F(UsbKit, ReplyStallingAfterTwoOfFourBytesEndsByTheOverallLimit) {
    ASSERT_TRUE(BrimBoardConnect());
    podsim::Fault stall;
    stall.kind = podsim::FaultKind::Stall;
    stall.bytes = 2;
    UsbBoard()->setFault(stall);
    const uint8_t query[] = {0xC2, 0x01};
    uint32_t start = rerodada::platform::TickCount();
    EXPECT_TRUE(ReroDadaStringWrite(query, 2, 4));
    uint32_t elapsed = rerodada::platform::TickCount() - start;
    EXPECT_EQ(ReroDadaResultCharCount(), 2u);
    EXPECT_GE(elapsed, 500u) << "the USB read must not end by the idle time-out";
}

TEST_F(UsbKit, PinsAndRawPrimitivesSendTheirCommandBytes) {
    ASSERT_TRUE(BrimBoardConnect());
    UsbBoard()->clearTraffic();
    BrimPinWrite(17, 1);
    EXPECT_EQ(UsbBoard()->lastHostWrite(), (std::vector<uint8_t>{0xF1, 0x01}));
    EXPECT_EQ(UsbBoard()->pin(1), true);
    EXPECT_TRUE(BrimPinRead(1));
    EXPECT_EQ(UsbBoard()->lastHostWrite(), (std::vector<uint8_t>{0xE1, 0x00}));
    EXPECT_FALSE(BrimPinRead(3));
    EXPECT_EQ(UsbBoard()->lastHostWrite(), (std::vector<uint8_t>{0xE3, 0x00}));

    const uint8_t start[] = {0xA0, 0x00};
    EXPECT_TRUE(ReroDadaStringWrite(start, 2, 0));
    EXPECT_EQ(ReroDadaResultCharCount(), 0u) << "no reply was asked for";
    // The answer nobody read is still waiting and arrives with the next one.
    EXPECT_TRUE(ReroDadaStringWrite(start, 2, 2));
    EXPECT_EQ(ReroDadaResultCharCount(), 2u);
    EXPECT_EQ(ReroDadaResultChar(0), 0xB0);
    EXPECT_EQ(ReroDadaResultChar(1), 0xB0);
    EXPECT_EQ(ReroDadaResultChar(5), 0);
}

TEST(BannerPrefix, LongPrefixIsCutTo31Characters) {
    const std::string longPrefix(40, 'P');
    BrimBoardBannerRequiresPrefix(longPrefix.c_str());
    char buffer[40];
    memset(buffer, 'z', sizeof buffer);
    BrimBoardBanner_GetRequiredPrefix(buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer), std::string(31, 'P'));
    EXPECT_EQ(buffer[39], 0);
    BrimBoardBannerRequiresPrefix("Kelvo");
    char small[3];
    BrimBoardBanner_GetRequiredPrefix(small, sizeof small);
    EXPECT_EQ(std::string(small, 3), "Kel");
}

} // namespace
