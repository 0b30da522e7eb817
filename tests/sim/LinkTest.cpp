// The board's side of the host link: reset and banner, line rate, latency,
// faults, plugging and the traffic record.
#include "Noise.h"
#include "SimTestUtil.h"

#include <gtest/gtest.h>

using namespace simtest;

namespace {

const Bytes kBanner = text("Kelvo PODLINK v01.05.47\r\n");
const Bytes kReadByte{0xA0, 0x05, 0x01, 0x01, 0x2A, 0x00}; // answered 0x12 0xB0

void pulseReset(podsim::Board& b, bool holdLevel) {
    b.setDtr(holdLevel);
    b.setDtr(!holdLevel);
}

bool looksLikeNoise(const Bytes& b) {
    for (uint8_t v : b) {
        if (!podsim::NoiseSource::allowed(v)) return false;
    }
    return true;
}

TEST(Reset, AssertedDtrHoldsResetByDefault) {
    auto board = makeBoard();
    EXPECT_FALSE(board->inReset());
    board->setDtr(true);
    EXPECT_TRUE(board->inReset());
    EXPECT_TRUE(talk(*board, {0xA0, 0x00}).empty());
    board->setDtr(false);
    EXPECT_EQ(hex(board->readAvailable()), hex(kBanner));
    EXPECT_EQ(hex(talk(*board, {0xA0, 0x00})), hex({0xB0}));
}

TEST(Reset, ClearedDtrHoldsResetWhenConfigured) {
    auto board = makeBoard("reset_dtr = clear");
    EXPECT_TRUE(board->inReset());
    EXPECT_TRUE(talk(*board, {0xA0, 0x00}).empty());
    board->setDtr(true);
    EXPECT_FALSE(board->inReset());
    EXPECT_EQ(hex(board->readAvailable()), hex(kBanner));
    board->setDtr(false);
    EXPECT_TRUE(board->inReset());
    EXPECT_TRUE(board->readAvailable().empty());
}

TEST(Reset, RepeatedLevelIsNoNewReset) {
    auto board = makeBoard();
    board->setDtr(false);
    EXPECT_TRUE(board->readAvailable().empty());
    pulseReset(*board, true);
    pulseReset(*board, true);
    EXPECT_EQ(hex(board->readAvailable()), hex(concat({kBanner, kBanner})));
}

TEST(Reset, EveryBannerOptionShowsUp) {
    struct Case {
        const char* config;
        Bytes expected;
    } cases[] = {
        {"firmware = 2.0.1", text("Kelvo PODLINK v02.00.01\r\n")},
        {"banner = \"Kelvo TEST 1\\r\\n\"", text("Kelvo TEST 1\r\n")},
        {"banner = Other board\\n", text("Other board\n")},
        {"banner_nul = true", concat({{0x00}, kBanner})},
    };
    for (const auto& c : cases) {
        auto board = makeBoard(c.config);
        board->endReset();
        EXPECT_EQ(hex(board->readAvailable()), hex(c.expected)) << c.config;
    }
}

TEST(Reset, NoiseComesBeforeTheBanner) {
    auto board = makeBoard("banner_nul = true\nbanner_noise = 7");
    board->endReset();
    Bytes got = board->readAvailable();
    ASSERT_EQ(got.size(), 1 + 7 + kBanner.size());
    EXPECT_EQ(got[0], 0x00);
    EXPECT_TRUE(looksLikeNoise(Bytes(got.begin() + 1, got.begin() + 8)));
    EXPECT_EQ(hex(Bytes(got.begin() + 8, got.end())), hex(kBanner));
}

TEST(Reset, ForgetsAPartialCommand) {
    auto board = makeBoard();
    board->hostWrite({0xA0, 0x05, 0x02});
    board->endReset();
    board->readAvailable();
    EXPECT_EQ(hex(talk(*board, {0xA0, 0x00})), hex({0xB0}));
}

TEST(Baud, WrongRateGivesNoiseOnly) {
    auto board = makeBoard("baud = 38400");
    for (uint32_t rate : {9600u, 19200u, 57600u, 115200u, 921600u}) {
        board->setBaud(rate);
        board->endReset();
        Bytes banner = board->readAvailable();
        EXPECT_EQ(banner.size(), kBanner.size());
        EXPECT_TRUE(looksLikeNoise(banner)) << rate;
        Bytes reply = talk(*board, {0xC2, 0x01, 0xA0, 0x00});
        EXPECT_FALSE(reply.empty());
        EXPECT_TRUE(looksLikeNoise(reply)) << rate;
    }
    board->setBaud(38400);
    board->endReset();
    EXPECT_EQ(hex(board->readAvailable()), hex(kBanner));
    EXPECT_EQ(hex(talk(*board, {0xA0, 0x00})), hex({0xB0}));
}

TEST(Baud, DefaultsTo115200AndToleratesSmallError) {
    auto board = makeBoard();
    EXPECT_EQ(board->boardBaud(), 115200u);
    board->setBaud(117000);
    EXPECT_EQ(hex(talk(*board, {0xA0, 0x00})), hex({0xB0}));
}

TEST(Link, LatencyHoldsRepliesBack) {
    auto board = makeBoard("latency_us = 40000");
    auto start = std::chrono::steady_clock::now();
    board->hostWrite({0xA0, 0x00});
    EXPECT_LE(board->microsUntilNext(), 40000);
    EXPECT_GE(usUntil(start, [&] { return board->available() > 0; }), 40000);
    EXPECT_EQ(board->microsUntilNext(), 0);
    EXPECT_EQ(hex(board->readAvailable()), hex({0xB0}));
    EXPECT_EQ(board->microsUntilNext(), -1);
}

TEST(Link, LatencyTimerAddsToLatency) {
    auto board = makeBoard("latency_us = 5000");
    board->setLatencyTimerMs(30);
    auto start = std::chrono::steady_clock::now();
    board->hostWrite({0xA0, 0x00});
    EXPECT_GE(usUntil(start, [&] { return board->available() > 0; }), 35000);
}

TEST(Link, PurgeDropsUnreadBytes) {
    auto board = makeBoard("latency_us = 100000");
    board->hostWrite({0xA0, 0x00, 0xA0, 0x00});
    board->purgeHostReceive();
    EXPECT_EQ(board->microsUntilNext(), -1);
}

TEST(Link, PartialReadsKeepTheRest) {
    auto board = makeBoard();
    board->hostWrite({0xC2, 0x01});
    uint8_t buf[2];
    EXPECT_EQ(board->hostRead(buf, 2), 2u);
    EXPECT_EQ(board->available(), 2u);
    EXPECT_EQ(hex(board->readAvailable()), hex({0x2F, 0xD2}));
}

TEST(Link, ModemStatusAndLines) {
    auto board = makeBoard("modem_status = 0xB0");
    EXPECT_EQ(board->modemStatus(), 0xB0u);
    board->setModemStatus(0x10);
    EXPECT_EQ(board->modemStatus(), 0x10u);
    board->setRts(true);
    EXPECT_TRUE(board->rts());
}

struct FaultCase {
    const char* name;
    const char* config;
    Bytes reply; // to kReadByte
};

void PrintTo(const FaultCase& c, std::ostream* os) {
    *os << c.name;
}

class FaultReply : public ::testing::TestWithParam<FaultCase> {};

TEST_P(FaultReply, ChangesTheReply) {
    auto board = makeBoard(GetParam().config);
    EXPECT_EQ(hex(talk(*board, kReadByte)), hex(GetParam().reply));
}

const FaultCase kFaults[] = {
    {"None", "", {0x12, 0xB0}},
    {"NoReply", "fault = no_reply", {}},
    {"Cut", "fault = cut\nfault.bytes = 1", {0x12}},
    {"StallForever", "fault = stall\nfault.bytes = 1", {0x12}},
    {"WrongCompletion", "fault = wrong_completion", {0x12, 0xB1}},
};

INSTANTIATE_TEST_SUITE_P(Link, FaultReply, ::testing::ValuesIn(kFaults),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Fault, NoiseGoesBeforeTheReply) {
    auto board = makeBoard("fault = noise\nfault.bytes = 3");
    Bytes reply = talk(*board, kReadByte);
    ASSERT_EQ(reply.size(), 5u);
    EXPECT_TRUE(looksLikeNoise(Bytes(reply.begin(), reply.begin() + 3)));
    EXPECT_EQ(hex(Bytes(reply.begin() + 3, reply.end())), hex({0x12, 0xB0}));
}

TEST(Fault, StallSendsTheRestLater) {
    auto board = makeBoard();
    podsim::Fault f;
    f.kind = podsim::FaultKind::Stall;
    f.bytes = 2;
    f.delayUs = 40000;
    board->setFault(f);
    auto start = std::chrono::steady_clock::now();
    board->hostWrite({0xC2, 0x01});
    EXPECT_EQ(board->available(), 2u);
    // A later reply may not overtake the stalled bytes.
    board->clearFault();
    board->hostWrite({0xA0, 0x00});
    EXPECT_GE(usUntil(start, [&] { return board->available() > 2; }), 40000);
    EXPECT_EQ(hex(board->readAvailable()), hex({0x01, 0x05, 0x2F, 0xD2, 0xB0}));
}

TEST(Fault, AfterAndTimesSelectTheReplies) {
    auto board = makeBoard("fault = no_reply\nfault.after = 1\nfault.times = 2");
    EXPECT_EQ(talk(*board, kReadByte).size(), 2u);
    EXPECT_EQ(talk(*board, kReadByte).size(), 0u);
    EXPECT_EQ(talk(*board, kReadByte).size(), 0u);
    EXPECT_EQ(talk(*board, kReadByte).size(), 2u);
    EXPECT_EQ(board->fault().kind, podsim::FaultKind::NoReply);
}

TEST(Fault, BannerIsNotAReply) {
    auto board = makeBoard("fault = no_reply");
    board->endReset();
    EXPECT_EQ(hex(board->readAvailable()), hex(kBanner));
}

TEST(Fault, SilentBoardSendsNothing) {
    auto board = makeBoard("silent = true");
    board->endReset();
    EXPECT_TRUE(talk(*board, kReadByte).empty());
    board->setSilent(false);
    EXPECT_EQ(talk(*board, kReadByte).size(), 2u);
}

TEST(Unplug, AfterNWrites) {
    auto board = makeBoard("unplug_after = 2");
    EXPECT_EQ(talk(*board, kReadByte).size(), 2u);
    EXPECT_EQ(talk(*board, kReadByte).size(), 2u);
    EXPECT_FALSE(board->unplugged());
    EXPECT_TRUE(talk(*board, kReadByte).empty());
    EXPECT_TRUE(board->unplugged());
    EXPECT_EQ(board->modemStatus(), 0u);
    EXPECT_EQ(board->hostWrites(), 2u);
    board->replug();
    EXPECT_EQ(talk(*board, kReadByte).size(), 2u);
}

TEST(Unplug, AtRunTime) {
    auto board = makeBoard("latency_us = 100000");
    board->hostWrite(kReadByte);
    board->unplug();
    EXPECT_TRUE(board->unplugged());
    EXPECT_EQ(board->available(), 0u);
    board->endReset();
    EXPECT_EQ(board->microsUntilNext(), -1);
    auto later = makeBoard();
    later->unplugAfter(0);
    later->hostWrite(kReadByte);
    EXPECT_TRUE(later->unplugged());
}

TEST(Traffic, RecordsBothDirections) {
    auto board = makeBoard();
    board->hostWrite({0xA0, 0x00});
    board->hostWrite({0xA0});
    board->hostWrite({0x01});
    board->readAvailable();
    EXPECT_EQ(hex(board->hostBytes()), hex({0xA0, 0x00, 0xA0, 0x01}));
    EXPECT_EQ(hex(board->lastHostWrite()), hex({0x01}));
    EXPECT_EQ(hex(board->boardBytes()), hex({0xB0, 0xB0}));
    EXPECT_EQ(board->hostWrites(), 3u);
    auto chunks = board->traffic();
    ASSERT_EQ(chunks.size(), 5u);
    EXPECT_EQ(chunks[1].direction, podsim::TrafficChunk::Direction::BoardToHost);
    EXPECT_EQ(chunks[2].direction, podsim::TrafficChunk::Direction::HostToBoard);
    board->clearTraffic();
    EXPECT_TRUE(board->hostBytes().empty());
    EXPECT_TRUE(board->lastHostWrite().empty());
    EXPECT_TRUE(board->traffic().empty());
}

TEST(Traffic, RecordsBytesSentDuringReset) {
    auto board = makeBoard();
    board->setDtr(true);
    board->hostWrite({0xA0, 0x00});
    EXPECT_EQ(hex(board->hostBytes()), hex({0xA0, 0x00}));
    EXPECT_TRUE(board->boardBytes().empty());
}

TEST(Board, IsSafeToInspectWhileServed) {
    auto board = makeBoard();
    std::thread host([&] {
        for (int i = 0; i < 2000; ++i) {
            board->hostWrite(kReadByte);
            board->readAvailable();
        }
    });
    for (int i = 0; i < 2000; ++i) {
        board->setChipRegister(0x11, uint8_t(i));
        board->hostBytes();
    }
    host.join();
    EXPECT_EQ(board->hostWrites(), 2000u);
}

} // namespace
