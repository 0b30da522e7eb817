#include "FakeConnection.h"

#include "RS232_Connection.h"
#include "USB_Connection.h"
#include "platform/Tick.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace rerodada::test {
namespace {

std::vector<uint8_t> Bytes(const std::string& s) {
    return {s.begin(), s.end()};
}

class ConnectionCore : public ::testing::Test {
  protected:
    void SetUp() override {
        saved_ = {gnRESET_HOLD_msec, gnRESET_SETTLE_msec, gnREAD_IDLE_TIMEOUT_msec,
                  gnGROSS_READSTRING_TIMEOUT_msec};
        savedAuto_ = gAutoBaudFlag;
        savedBaud_ = gnBaudRate;
        strcpy(savedPrefix_, szRequiredBannerPrefix);
        // Resets need not take their real time against a scripted board.
        gnRESET_HOLD_msec = 0;
        gnRESET_SETTLE_msec = 0;
    }
    void TearDown() override {
        gnRESET_HOLD_msec = saved_[0];
        gnRESET_SETTLE_msec = saved_[1];
        gnREAD_IDLE_TIMEOUT_msec = saved_[2];
        gnGROSS_READSTRING_TIMEOUT_msec = saved_[3];
        gAutoBaudFlag = savedAuto_;
        gnBaudRate = savedBaud_;
        strcpy(szRequiredBannerPrefix, savedPrefix_);
    }
    void QuickTimeouts() {
        gnREAD_IDLE_TIMEOUT_msec = 5;
        gnGROSS_READSTRING_TIMEOUT_msec = 20;
    }

    FakeConnection fake;

  private:
    std::array<uint32_t, 4> saved_{};
    bool savedAuto_ = true;
    uint32_t savedBaud_ = 0;
    char savedPrefix_[32] = {};
};

struct BannerCase {
    const char* name;
    std::string received;
    const char* prefix;
    bool valid;
    std::string banner; // as stored after validation
};

class BannerValidation : public ConnectionCore, public ::testing::WithParamInterface<BannerCase> {};

TEST_P(BannerValidation, CapturesRepairsAndFindsThePrefix) {
    const BannerCase& c = GetParam();
    strcpy(szRequiredBannerPrefix, c.prefix);
    fake.SetResult(Bytes(c.received));
    fake.Capture();
    EXPECT_EQ(fake.Valid_Firmware_Banner(), c.valid);
    EXPECT_EQ(std::string(fake.GetBanner()), c.banner);
    EXPECT_EQ(fake.IsConnected(), c.valid && c.prefix[0] != 0);
}

const std::string kLong = std::string(260, 'x') + "Kelvo PODLINK";

INSTANTIATE_TEST_SUITE_P(
    Banners, BannerValidation,
    ::testing::Values(
        BannerCase{"plain", "Kelvo PODLINK v01.05.47\r\n", "Kelvo", true,
                   "Kelvo PODLINK v01.05.47\r\n"},
        BannerCase{"one_leading_nul", std::string("\0Kelvo PODLINK", 14), "Kelvo", true,
                   "Kelvo PODLINK"},
        BannerCase{"two_leading_nuls", std::string("\0\0Kelvo PODLINK", 15), "Kelvo", true,
                   "Kelvo PODLINK"},
        BannerCase{"noise_before", "\r\n\x7f#Kelvo PODLINK", "Kelvo", true, "Kelvo PODLINK"},
        BannerCase{"no_prefix", "Acme board v2", "Kelvo", false, "Acme board v2"},
        BannerCase{"prefix_case_differs", "kelvo PODLINK", "Kelvo", false, "kelvo PODLINK"},
        BannerCase{"prefix_beyond_byte_255", kLong, "Kelvo", false, std::string(255, 'x')},
        BannerCase{"three_hundred_bytes", std::string(300, 'K'), "Kelvo", false,
                   std::string(255, 'K')},
        BannerCase{"empty_prefix_accepts_anything", "whatever", "", true, "whatever"},
        BannerCase{"empty_prefix_accepts_silence", "", "", true, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ConnectionCore, ResultCharBeyondTheCountIsZero) {
    fake.SetResult({0xB0, 0xB1, 0xB2});
    EXPECT_EQ(fake.ResultChar(2), 0xB2);
    EXPECT_EQ(fake.ResultChar(3), 0);
    EXPECT_EQ(fake.ResultChar(5), 0);
}

TEST_F(ConnectionCore, ReplyThatStallsPartWayEndsByTheIdleTimeout) {
    fake.scriptedReads.push_back({{0, {0xB0, 0xB1}}});
    uint32_t start = platform::TickCount();
    EXPECT_TRUE(fake.ReadScripted(4));
    uint32_t elapsed = platform::TickCount() - start;
    EXPECT_EQ(fake.ResultCharCount(), 2u);
    EXPECT_GE(elapsed, 200u);
    EXPECT_LT(elapsed, 500u) << "the overall limit, not the idle time-out, ended the read";
}

TEST_F(ConnectionCore, SilentBoardEndsByTheOverallTimeoutWithNothing) {
    fake.scriptedReads.push_back({});
    uint32_t start = platform::TickCount();
    EXPECT_TRUE(fake.ReadScripted(4));
    EXPECT_GE(platform::TickCount() - start, 500u);
    EXPECT_EQ(fake.ResultCharCount(), 0u);
}

TEST_F(ConnectionCore, ReadStoresAtMost1999Bytes) {
    fake.scriptedReads.push_back({{0, std::vector<uint8_t>(3000, 0x55)}});
    EXPECT_TRUE(fake.ReadScripted(2500));
    EXPECT_EQ(fake.ResultCharCount(), 1999u);
}

TEST_F(ConnectionCore, ChunkPastTheMinimumIsKeptWhole) {
    fake.scriptedReads.push_back({{0, {1, 2, 3, 4, 5}}, {50, {6}}});
    EXPECT_TRUE(fake.ReadScripted(2));
    EXPECT_EQ(fake.ResultCharCount(), 5u);
}

TEST_F(ConnectionCore, ReadOfZeroReturnsAtOnceEmpty) {
    fake.scriptedReads.push_back({{0, {1, 2}}});
    uint32_t start = platform::TickCount();
    EXPECT_TRUE(fake.ReadScripted(0));
    EXPECT_LT(platform::TickCount() - start, 400u) << "the read waited for a reply";
    EXPECT_EQ(fake.ResultCharCount(), 0u);
}

const uint32_t kSerialTable[] = {115200, 57600, 38400, 19200, 9600};

TEST_F(ConnectionCore, AutomaticSearchStepsDownTheTableToTheBoardsRate) {
    QuickTimeouts();
    fake.answerBaud = 38400;
    ASSERT_TRUE(fake.Open(false, kSerialTable, 5, RS232_Connection::kTryOpenRetry));
    EXPECT_EQ(fake.bauds, (std::vector<uint32_t>{115200, 57600, 38400}));
    // Two polarities at each rate that did not answer, one at the rate that did.
    EXPECT_EQ(fake.polarities, (std::vector<bool>{false, true, false, true, false}));
    EXPECT_TRUE(fake.IsConnected());
    EXPECT_STREQ(fake.GetBanner(), "Kelvo PODLINK");
}

TEST_F(ConnectionCore, PolarityFoundOnTheSecondTryIsTheFirstTriedNextTime) {
    QuickTimeouts();
    fake.answerBaud = 115200;
    fake.answerOnDTRhigh = true;
    ASSERT_TRUE(fake.Open(false, kSerialTable, 5, RS232_Connection::kTryOpenRetry));
    EXPECT_TRUE(fake.ResetOnDTRhigh());
    fake.polarities.clear();
    ASSERT_TRUE(fake.Open(false, kSerialTable, 5, RS232_Connection::kTryOpenRetry));
    EXPECT_EQ(fake.polarities, (std::vector<bool>{true}));
}

TEST_F(ConnectionCore, ExhaustedSearchClosesAndKeepsThePolarity) {
    QuickTimeouts();
    fake.answerBaud = 1234;
    EXPECT_FALSE(fake.Open(false, kSerialTable, 5, RS232_Connection::kTryOpenRetry));
    EXPECT_EQ(fake.closes, 1);
    EXPECT_FALSE(fake.ResetOnDTRhigh());
    EXPECT_EQ(fake.polarities.size(), 10u);
}

enum class Scenario { BaudFails, ResetFails, SecondPolarityAnswers, NeverValid, SecondResetFails };

struct FixedBaudCase {
    const char* name;
    const Connection::FixedBaudRetry* retry;
    Scenario scenario;
    bool connects;
    size_t resets;
    bool finalPolarityHigh;
};

class FixedBaudOpen : public ConnectionCore, public ::testing::WithParamInterface<FixedBaudCase> {};

TEST_P(FixedBaudOpen, RetriesWithTheOtherPolarityAsTheVariantSays) {
    const FixedBaudCase& c = GetParam();
    QuickTimeouts();
    gAutoBaudFlag = false;
    gnBaudRate = 19200;
    fake.answerBaud = 19200;
    fake.answerOnDTRhigh = true;
    switch (c.scenario) {
    case Scenario::BaudFails:
        fake.failSetBaud = true;
        break;
    case Scenario::ResetFails:
        fake.failReset = true;
        break;
    case Scenario::SecondPolarityAnswers:
        break;
    case Scenario::NeverValid:
        fake.answerBaud = 9600;
        break;
    case Scenario::SecondResetFails:
        fake.answerBaud = 9600;
        fake.failResetFrom = 2;
        break;
    }
    EXPECT_EQ(fake.Open(false, nullptr, 0, *c.retry), c.connects);
    EXPECT_EQ(fake.polarities.size(), c.resets);
    EXPECT_EQ(fake.ResetOnDTRhigh(), c.finalPolarityHigh);
    EXPECT_EQ(fake.IsConnected(), c.connects);
    if (!c.connects) {
        EXPECT_EQ(fake.closes, 1);
    }
}

const auto* kRsTop = &RS232_Connection::kTryOpenRetry;
const auto* kRsCr = &RS232_Connection::kSendCRRetry;
const auto* kUsbTop = &USB_Connection::kTryOpenRetry;
const auto* kUsbCr = &USB_Connection::kSendCRRetry;

INSTANTIATE_TEST_SUITE_P(
    Variants, FixedBaudOpen,
    ::testing::Values(
        FixedBaudCase{"rs232_open_baud_fails", kRsTop, Scenario::BaudFails, false, 0, false},
        FixedBaudCase{"rs232_cr_baud_fails", kRsCr, Scenario::BaudFails, true, 1, true},
        FixedBaudCase{"usb_open_baud_fails", kUsbTop, Scenario::BaudFails, false, 0, false},
        FixedBaudCase{"usb_cr_baud_fails", kUsbCr, Scenario::BaudFails, false, 0, false},
        FixedBaudCase{"rs232_open_reset_fails", kRsTop, Scenario::ResetFails, false, 1, false},
        FixedBaudCase{"rs232_cr_reset_fails", kRsCr, Scenario::ResetFails, false, 2, false},
        FixedBaudCase{"usb_open_reset_fails", kUsbTop, Scenario::ResetFails, false, 2, true},
        FixedBaudCase{"usb_cr_reset_fails", kUsbCr, Scenario::ResetFails, false, 2, true},
        FixedBaudCase{"rs232_open_second_polarity", kRsTop, Scenario::SecondPolarityAnswers, false,
                      1, false},
        FixedBaudCase{"rs232_cr_second_polarity", kRsCr, Scenario::SecondPolarityAnswers, true, 2,
                      true},
        FixedBaudCase{"usb_open_second_polarity", kUsbTop, Scenario::SecondPolarityAnswers, false,
                      1, false},
        FixedBaudCase{"usb_cr_second_polarity", kUsbCr, Scenario::SecondPolarityAnswers, true, 2,
                      true},
        FixedBaudCase{"rs232_cr_never_valid", kRsCr, Scenario::NeverValid, false, 2, false},
        FixedBaudCase{"usb_cr_never_valid", kUsbCr, Scenario::NeverValid, false, 2, false},
        FixedBaudCase{"rs232_cr_second_reset_fails", kRsCr, Scenario::SecondResetFails, false, 2,
                      false},
        FixedBaudCase{"usb_cr_second_reset_fails", kUsbCr, Scenario::SecondResetFails, false, 2,
                      false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(NullConnection, EveryOperationFails) {
    Null_Connection& none = TheNullConnection();
    EXPECT_STREQ(none.TypeName(), "ct_None");
    EXPECT_FALSE(none.Try_Open_Port(3));
    EXPECT_EQ(none.GetPort(), 3);
    EXPECT_FALSE(none.Try_Open_Port_Send_CR(4));
    EXPECT_EQ(none.GetPort(), 4);
    const uint8_t b = 0xA0;
    EXPECT_FALSE(none.Write(&b, 1, 1));
    EXPECT_FALSE(none.WriteFramedByRTS(&b, 1, 1, true));
    EXPECT_FALSE(none.Read(1));
    EXPECT_FALSE(none.Hold_Reset());
    EXPECT_FALSE(none.Release_Reset());
    EXPECT_FALSE(none.IsConnected());
    EXPECT_FALSE(none.CommCTS() || none.CommDSR() || none.CommDCD() || none.CommRI());
    EXPECT_EQ(none.ResultCharCount(), 0u);
}

} // namespace
} // namespace rerodada::test
