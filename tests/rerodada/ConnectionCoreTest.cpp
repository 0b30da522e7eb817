// The connection core (reads, banners, the baud and polarity search) against a
// connection whose board is a script.
#include "Logs.h"
#include "RS232_Connection.h"
#include "USB_Connection.h"
#include "platform/Tick.h"

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <string>
#include <vector>

namespace rerodada {
namespace {

using Chunks = std::deque<std::vector<uint8_t>>;

// Each poll takes the next chunk; then nothing more comes.
struct ScriptPoller : Connection::Poller {
    Chunks chunks;
    long Poll(uint8_t* into, uint32_t room) override {
        if (chunks.empty()) return 0;
        std::vector<uint8_t>& c = chunks.front();
        const uint32_t n = std::min<uint32_t>(room, static_cast<uint32_t>(c.size()));
        std::copy_n(c.begin(), n, into);
        c.erase(c.begin(), c.begin() + n);
        if (c.empty()) chunks.pop_front();
        return n;
    }
    void Wait(uint32_t) override { platform::SleepMilliseconds(1); }
};

// Runs the library's own open, reset, banner and read algorithms on a board
// that answers only at answerBaud with the reset polarity answerOnDTRhigh.
struct FakeConnection : Null_Connection {
    uint32_t answerBaud = 19200;
    bool answerOnDTRhigh = false;
    bool failSetBaud = false;
    size_t failResetFrom = 0; // the resets from this one on (counted from 1) fail
    std::vector<uint32_t> bauds;
    std::vector<bool> polarities;
    int closes = 0;
    uint32_t baud = 0;

    bool Open(const FixedBaudRetry& retry, const uint32_t* table = nullptr, int n = 0) {
        connected = false;
        const SetBaudFn setBaud = [](Connection* c, uint32_t b) {
            auto* self = static_cast<FakeConnection*>(c);
            self->bauds.push_back(self->baud = b);
            return !self->failSetBaud;
        };
        return FindBoard(false, table, n, setBaud, retry, false);
    }
    void Capture(const std::string& bytes) {
        nResultCount = static_cast<uint32_t>(bytes.size());
        std::copy(bytes.begin(), bytes.end(), szResult);
        CaptureBanner();
    }
    bool ReadChunks(Chunks chunks, uint32_t minCount) {
        ScriptPoller poller;
        poller.chunks = std::move(chunks);
        return ReadReply(minCount, poller, false, "idle time-out", "overall time-out", "");
    }
    bool Read(uint32_t minCount) override {
        if (failResetFrom > 0 && polarities.size() >= failResetFrom) return false;
        const bool answers = baud == answerBaud && bResetOnDTRhigh == answerOnDTRhigh;
        return ReadChunks(
            answers ? Chunks{{'K', 'e', 'l', 'v', 'o', ' ', 'P', 'O', 'D'}} : Chunks{}, minCount);
    }
    bool Hold_Reset() override {
        polarities.push_back(bResetOnDTRhigh);
        return true;
    }
    bool Release_Reset() override { return true; }
    void Close() override {
        ++closes;
        connected = false;
    }
};

// Sets a library global for one test.
template <typename T> struct Set {
    Set(T& v, T now) : var(v), old(v) { v = now; }
    ~Set() { var = old; }
    T& var;
    const T old;
};

class ConnectionCore : public ::testing::Test {
  protected:
    // Resets take no time and reads end soon against a scripted board.
    Set<uint32_t> hold_{gnRESET_HOLD_msec, 0}, settle_{gnRESET_SETTLE_msec, 0},
        idle_{gnREAD_IDLE_TIMEOUT_msec, 5}, gross_{gnGROSS_READSTRING_TIMEOUT_msec, 40},
        baud_{gnBaudRate, 19200};
    Set<bool> auto_{gAutoBaudFlag, true};
    void TearDown() override { strcpy(szRequiredBannerPrefix, "Kelvo"); }
    // Reads the chunks; returns which time-out ended the read, from the trace.
    std::string ReadEndedBy(const Chunks& chunks, uint32_t minCount) {
        bDebugToConsole = true;
        testing::internal::CaptureStdout();
        EXPECT_TRUE(fake.ReadChunks(chunks, minCount));
        const std::string trace = testing::internal::GetCapturedStdout();
        bDebugToConsole = false;
        for (const char* end : {"idle time-out", "overall time-out"})
            if (trace.find(end) != std::string::npos) return end;
        return "";
    }

    FakeConnection fake;
};

TEST_F(ConnectionCore, ReadEndsByTheMinimumOrTheTimeOutThatIsDue) {
    const struct {
        Chunks chunks;
        uint32_t minCount, count;
        const char* endedBy;
    } rows[] = {{{{0xB0, 0xB1}}, 4, 2, "idle time-out"}, // a reply that stalls part way
                {{}, 4, 0, "overall time-out"},          // a silent board
                {{std::vector<uint8_t>(3000, 0x55)}, 2500, 1999, "idle time-out"},
                {{{1, 2, 3, 4, 5}, {6}}, 2, 5, ""}, // the chunk past the minimum is kept whole
                {{{1, 2}}, 0, 0, ""}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.count);
        EXPECT_EQ(ReadEndedBy(row.chunks, row.minCount), row.endedBy);
        EXPECT_EQ(fake.ResultCharCount(), row.count);
        EXPECT_EQ(fake.ResultChar(row.count), 0) << "past the count";
        EXPECT_TRUE(row.count == 0 || fake.ResultChar(row.count - 1) != 0);
    }
}

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
    fake.Capture(c.received);
    EXPECT_EQ(fake.Valid_Firmware_Banner(), c.valid);
    EXPECT_EQ(std::string(fake.GetBanner()), c.banner);
    EXPECT_EQ(fake.IsConnected(), c.valid && c.prefix[0] != 0);
}

const std::string kLong = std::string(260, 'x') + "Kelvo PODLINK";

INSTANTIATE_TEST_SUITE_P(
    Banners, BannerValidation,
    ::testing::Values(
        BannerCase{"plain", "Kelvo PODLINK v1\r\n", "Kelvo", true, "Kelvo PODLINK v1\r\n"},
        BannerCase{"one_leading_nul", std::string("\0Kelvo", 6), "Kelvo", true, "Kelvo"},
        BannerCase{"two_leading_nuls", std::string("\0\0Kelvo", 7), "Kelvo", true, "Kelvo"},
        BannerCase{"noise_before", "\r\n\x7f#Kelvo PODLINK", "Kelvo", true, "Kelvo PODLINK"},
        BannerCase{"no_prefix", "Acme board v2", "Kelvo", false, "Acme board v2"},
        BannerCase{"prefix_case_differs", "kelvo PODLINK", "Kelvo", false, "kelvo PODLINK"},
        BannerCase{"prefix_beyond_byte_255", kLong, "Kelvo", false, std::string(255, 'x')},
        BannerCase{"three_hundred_bytes", std::string(300, 'K'), "Kelvo", false,
                   std::string(255, 'K')},
        BannerCase{"empty_prefix_accepts_anything", "whatever", "", true, "whatever"},
        BannerCase{"empty_prefix_accepts_silence", "", "", true, ""}),
    [](const auto& info) { return std::string(info.param.name); });

const uint32_t kSerialTable[] = {115200, 57600, 38400, 19200, 9600};

TEST_F(ConnectionCore, SearchStepsDownTheTableAndRemembersThePolarity) {
    fake.answerBaud = 38400;
    fake.answerOnDTRhigh = true;
    ASSERT_TRUE(fake.Open(RS232_Connection::kTryOpenRetry, kSerialTable, 5));
    EXPECT_EQ(fake.bauds, (std::vector<uint32_t>{115200, 57600, 38400}));
    EXPECT_EQ(fake.polarities, (std::vector<bool>{false, true, false, true, false, true}));
    EXPECT_TRUE(fake.IsConnected());
    EXPECT_STREQ(fake.GetBanner(), "Kelvo POD");
    fake.polarities.clear();
    ASSERT_TRUE(fake.Open(RS232_Connection::kTryOpenRetry, kSerialTable + 2, 3));
    EXPECT_EQ(fake.polarities, (std::vector<bool>{true})) << "the polarity found is tried first";
    // An exhausted search closes and keeps the polarity.
    fake.answerBaud = 1234;
    fake.polarities.clear();
    EXPECT_FALSE(fake.Open(RS232_Connection::kTryOpenRetry, kSerialTable, 5));
    EXPECT_EQ(fake.closes, 1);
    EXPECT_TRUE(fake.ResetOnDTRhigh());
    EXPECT_EQ(fake.polarities.size(), 10u);
}

enum Scenario { BaudFails, ResetFails, SecondPolarityAnswers, NeverValid, SecondResetFails };

TEST_F(ConnectionCore, FixedBaudOpenRetriesWithTheOtherPolarityAsTheVariantSays) {
    const auto* rsTop = &RS232_Connection::kTryOpenRetry;
    const auto* rsCr = &RS232_Connection::kSendCRRetry;
    const auto* usbTop = &USB_Connection::kTryOpenRetry;
    const auto* usbCr = &USB_Connection::kSendCRRetry;
    const struct {
        const char* name;
        const Connection::FixedBaudRetry* retry;
        Scenario scenario;
        bool connects;
        size_t resets;
        bool finalPolarityHigh;
    } rows[] = {{"rs232_open_baud_fails", rsTop, BaudFails, false, 0, false},
                {"rs232_cr_baud_fails", rsCr, BaudFails, true, 1, true},
                {"usb_open_baud_fails", usbTop, BaudFails, false, 0, false},
                {"usb_cr_baud_fails", usbCr, BaudFails, false, 0, false},
                {"rs232_open_reset_fails", rsTop, ResetFails, false, 1, false},
                {"rs232_cr_reset_fails", rsCr, ResetFails, false, 2, false},
                {"usb_open_reset_fails", usbTop, ResetFails, false, 2, true},
                {"usb_cr_reset_fails", usbCr, ResetFails, false, 2, true},
                {"rs232_open_second_polarity", rsTop, SecondPolarityAnswers, false, 1, false},
                {"rs232_cr_second_polarity", rsCr, SecondPolarityAnswers, true, 2, true},
                {"usb_open_second_polarity", usbTop, SecondPolarityAnswers, false, 1, false},
                {"usb_cr_second_polarity", usbCr, SecondPolarityAnswers, true, 2, true},
                {"rs232_cr_never_valid", rsCr, NeverValid, false, 2, false},
                {"usb_cr_never_valid", usbCr, NeverValid, false, 2, false},
                {"rs232_cr_second_reset_fails", rsCr, SecondResetFails, false, 2, false},
                {"usb_cr_second_reset_fails", usbCr, SecondResetFails, false, 2, false}};
    gAutoBaudFlag = false;
    for (const auto& c : rows) {
        SCOPED_TRACE(c.name);
        FakeConnection fixed;
        fixed.answerOnDTRhigh = true;
        fixed.failSetBaud = c.scenario == BaudFails;
        fixed.failResetFrom = c.scenario == ResetFails ? 1 : c.scenario == SecondResetFails ? 2 : 0;
        if (c.scenario == NeverValid || c.scenario == SecondResetFails) fixed.answerBaud = 9600;
        EXPECT_EQ(fixed.Open(*c.retry), c.connects);
        EXPECT_EQ(fixed.polarities.size(), c.resets);
        EXPECT_EQ(fixed.ResetOnDTRhigh(), c.finalPolarityHigh);
        EXPECT_EQ(fixed.IsConnected(), c.connects);
        EXPECT_EQ(fixed.closes, c.connects ? 0 : 1);
    }
}

} // namespace
} // namespace rerodada
