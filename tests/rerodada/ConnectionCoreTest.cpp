// The connection core (reads, banners, the baud and polarity search) against a
// connection whose board is a script, and the USB reads' waits on D2XX libraries.
#include "Logs.h"
#include "RS232_Connection.h"
#include "USB_Connection.h"
#include "platform/DynamicLibrary.h"
#include "platform/Tick.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

namespace rerodada {
namespace {

uint32_t gStart; // the tick that Now counts from
const auto Now = [] { return platform::TickCount() - gStart; };

// Each chunk comes at Now() == atMs; then nothing more comes.
struct Chunk {
    uint32_t atMs;
    std::vector<uint8_t> bytes;
};
using Chunks = std::deque<Chunk>;

struct ScriptPoller : Connection::Poller {
    Chunks chunks;
    long Poll(uint8_t* into, uint32_t room) override {
        if (chunks.empty() || chunks.front().atMs > Now()) return 0;
        std::vector<uint8_t>& c = chunks.front().bytes;
        const uint32_t n = std::min<uint32_t>(room, static_cast<uint32_t>(c.size()));
        std::copy_n(c.begin(), n, into);
        c.erase(c.begin(), c.begin() + n);
        if (c.empty()) chunks.pop_front();
        return n;
    }
    // Returns when the next chunk comes or the time is up.
    void Wait(uint32_t ms, uint32_t) override {
        const uint32_t now = Now();
        uint32_t wake = now + ms;
        if (!chunks.empty()) wake = std::min(wake, std::max(chunks.front().atMs, now));
        platform::SleepMilliseconds(wake - now);
    }
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
    std::string steps; // what the board saw, and when
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
    bool Step(const std::string& what) {
        steps += what + " at " + std::to_string(Now()) + "; ";
        return true;
    }
    bool Read(uint32_t minCount) override {
        Step("read");
        if (failResetFrom > 0 && polarities.size() >= failResetFrom) return false;
        const bool answers = baud == answerBaud && bResetOnDTRhigh == answerOnDTRhigh;
        return ReadChunks(answers ? Chunks{{0, {'K', 'e', 'l', 'v', 'o'}}} : Chunks{}, minCount);
    }
    bool Write(const uint8_t* data, uint32_t, uint32_t) override {
        return Step("write " + std::to_string(data[0]));
    }
    bool Hold_Reset() override {
        polarities.push_back(bResetOnDTRhigh);
        return Step("hold");
    }
    bool Release_Reset() override { return Step("release"); }
    void Close() override {
        ++closes;
        connected = false;
    }
};

// The library's own time-outs, on a fake clock whose sleeps only move it on;
// its tick counter wraps 50 ms into each test. Its sleeps are recorded.
class ConnectionCore : public ::testing::Test, public platform::Clock {
  protected:
    ConnectionCore() {
        platform::UseClock(this);
        gStart = platform::TickCount();
    }
    ~ConnectionCore() override {
        platform::UseClock(nullptr);
        strcpy(szRequiredBannerPrefix, "Kelvo");
        gAutoBaudFlag = true;
    }
    uint64_t Microseconds() override { return us_; }
    void Sleep(uint64_t us) override { sleeps.push_back(us), us_ += us; }
    // Waits for the system are real; the clock moves on by what they took.
    void Await(platform::Event& event, uint64_t us) override {
        const auto start = std::chrono::steady_clock::now();
        event.Wait(static_cast<uint32_t>(us / 1000));
        us_ += (std::chrono::steady_clock::now() - start) / std::chrono::microseconds(1);
    }
    uint64_t us_ = (uint64_t{1} << 32) * 1000 - 50'000;
    std::vector<uint64_t> sleeps;
    // Reads the chunks; tells which time-out ended the read, from the trace,
    // and when, counted from the read's start.
    std::string ReadEnd(const Chunks& chunks, uint32_t minCount) {
        bDebugToConsole = true;
        testing::internal::CaptureStdout();
        gStart = platform::TickCount();
        EXPECT_TRUE(fake.ReadChunks(chunks, minCount));
        const std::string end = "at " + std::to_string(Now());
        const std::string trace = testing::internal::GetCapturedStdout();
        bDebugToConsole = false;
        for (const char* by : {"idle time-out", "overall time-out"})
            if (trace.find(by) != std::string::npos) return by + (" " + end);
        return end;
    }

    FakeConnection fake;
};

TEST_F(ConnectionCore, ReadEndsByTheMinimumOrTheTimeOutThatIsDue) {
    const struct {
        Chunks chunks;
        uint32_t minCount, count;
        const char* end;
    } rows[] = {// Pauses within and beyond the idle limit, counted from the last byte.
                {{{0, {0xB0, 0xB1}}, {199, {0xB2, 0xB3}}}, 4, 4, "at 199"},
                {{{10, {0xB0, 0xB1}}, {212, {0xB2, 0xB3}}}, 4, 2, "idle time-out at 211"},
                // A trickle that never idles, and a silent board.
                {{{0, {1}}, {150, {2}}, {300, {3}}, {450, {4}}}, 5, 4, "overall time-out at 501"},
                {{}, 4, 0, "overall time-out at 501"},
                {{{0, std::vector<uint8_t>(3000, 0x55)}}, 2500, 1999, "idle time-out at 201"},
                // The chunk past the minimum is kept whole.
                {{{0, {1, 2, 3, 4, 5}}, {0, {6}}}, 2, 5, "at 0"},
                {{{0, {1, 2}}}, 0, 0, "at 0"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.end);
        EXPECT_EQ(ReadEnd(row.chunks, row.minCount), row.end);
        EXPECT_EQ(fake.ResultCharCount(), row.count);
        EXPECT_EQ(fake.ResultChar(row.count), 0) << "past the count";
        EXPECT_TRUE(row.count == 0 || fake.ResultChar(row.count - 1) != 0);
    }
}

TEST_F(ConnectionCore, ResetHoldsTheBoardThenLetsItSettleBeforeTheBannerIsRead) {
    fake.baud = 19200; // the banner comes at once
    ASSERT_TRUE(fake.Reset() && fake.Reset_Send_CR());
    EXPECT_EQ(fake.steps, "hold at 0; release at 100; read at 150; "
                          "hold at 150; release at 250; write 13 at 300; read at 350; ");
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
    EXPECT_STREQ(fake.GetBanner(), "Kelvo");
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

// On the D2XX path a read waits for the driver's event, not in short sleeps
// that a coarse system timer (15.6 ms on Windows) would stretch.
TEST_F(ConnectionCore, UsbBannerHeldBackIsAwaitedWithoutShortSleeps) {
    const char* standIn = std::getenv("RERODADA_D2XX_LIBRARY");
    const auto reload = reinterpret_cast<int (*)(const char*)>(
        platform::LibrarySymbol(platform::LibraryLoad(standIn), "podsim_d2xx_reload"));
    ASSERT_TRUE(reload && reload("baud = 19200\nlatency_us = 3000\nusb.latency_timer = 0") == 0);
    const std::pair<const char*, bool> rows[] = {
        {standIn, true},
#ifdef PARTIAL_D2XX_LIBRARY
        // No event: the banner's line time (2,083 µs at 19200) at a time, to the time-out.
        {PARTIAL_D2XX_LIBRARY, false}
#endif
    };
    gAutoBaudFlag = false; // the board's 19200 baud only
    for (const auto& [library, connects] : rows) {
        SCOPED_TRACE(library);
        sleeps.clear();
        FTDI_DLL d2xx(library);
        USB_Connection usb;
        usb.UseDriver(&d2xx);
        EXPECT_EQ(usb.Try_Open_Port(0), connects);
        EXPECT_EQ(sleeps.size() == 2, connects) << "with the event only the reset sleeps";
        for (size_t i = 0; i + 1 < sleeps.size(); ++i)
            EXPECT_GE(sleeps[i], 2083u) << "sleep " << i;
    }
    reload("");
}

} // namespace
} // namespace rerodada
