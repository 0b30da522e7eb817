// The board's side of the host link, as the library's tests rely on it:
// reset and banner, line rate, the faults it injects, answers chosen by a
// test, unplugging and the traffic record.
#include "Noise.h"
#include "SimTestUtil.h"

#include <gtest/gtest.h>

using namespace simtest;

namespace {

bool looksLikeNoise(const Bytes& b) {
    return std::all_of(b.begin(), b.end(), podsim::NoiseSource::allowed);
}

TEST(Reset, DtrLevelFollowsTheConfiguredPolarity) {
    for (bool resetOnSet : {true, false}) {
        auto board = makeBoard(resetOnSet ? "" : "reset_dtr = clear");
        board->setDtr(resetOnSet);
        EXPECT_TRUE(board->inReset());
        EXPECT_TRUE(talk(*board, {0xA0, 0x00}).empty());
        board->setDtr(!resetOnSet);
        board->setDtr(!resetOnSet);
        // One banner per end of reset, not per repeated level.
        EXPECT_EQ(hex(board->readAvailable()), hex(kBanner)) << resetOnSet;
        EXPECT_EQ(hex(talk(*board, {0xA0, 0x00})), hex({0xB0}));
    }
}

TEST(Reset, BannerOptionsAndAPartialCommandForgotten) {
    const struct {
        const char* config;
        Bytes expected;
    } cases[] = {
        {"firmware = 2.0.1", text("Kelvo PODLINK v02.00.01\r\n")},
        {"banner = \"Kelvo TEST 1\\r\\n\"", text("Kelvo TEST 1\r\n")},
        {"banner_nul = true",
         [] {
             Bytes b{0x00};
             b.insert(b.end(), kBanner.begin(), kBanner.end());
             return b;
         }()},
    };
    for (const auto& c : cases) {
        auto board = makeBoard(c.config);
        board->hostWrite({0xA0, 0x05, 0x02});
        board->endReset();
        EXPECT_EQ(hex(board->readAvailable()), hex(c.expected)) << c.config;
        EXPECT_EQ(hex(talk(*board, {0xA0, 0x00})), hex({0xB0})) << c.config;
    }
    auto noisy = makeBoard("banner_noise = 7");
    noisy->endReset();
    Bytes got = noisy->readAvailable();
    ASSERT_EQ(got.size(), 7 + kBanner.size());
    EXPECT_TRUE(looksLikeNoise(Bytes(got.begin(), got.begin() + 7)));
    EXPECT_EQ(hex(Bytes(got.begin() + 7, got.end())), hex(kBanner));
}

TEST(Baud, OnlyTheBoardsRateIsUnderstood) {
    auto board = makeBoard("baud = 38400");
    for (uint32_t rate : {9600u, 57600u, 115200u}) {
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

struct FaultCase {
    const char* name;
    const char* config;
    Bytes reply; // to kReadByte; for noise, what follows the noise bytes
    size_t noise;
};

void PrintTo(const FaultCase& c, std::ostream* os) {
    *os << c.name;
}

class FaultReply : public ::testing::TestWithParam<FaultCase> {};

TEST_P(FaultReply, ChangesTheReplyButNeverTheBanner) {
    const FaultCase& c = GetParam();
    auto board = makeBoard(c.config);
    board->endReset();
    EXPECT_EQ(hex(board->readAvailable()), hex(kBanner));
    Bytes reply = talk(*board, kReadByte);
    ASSERT_EQ(reply.size(), c.noise + c.reply.size());
    EXPECT_TRUE(looksLikeNoise(Bytes(reply.begin(), reply.begin() + c.noise)));
    EXPECT_EQ(hex(Bytes(reply.begin() + c.noise, reply.end())), hex(c.reply));
}

const FaultCase kFaults[] = {
    {"None", "", {0x12, 0xB0}, 0},
    {"NoReply", "fault = no_reply", {}, 0},
    {"Cut", "fault = cut\nfault.bytes = 1", {0x12}, 0},
    {"StallForever", "fault = stall\nfault.bytes = 1", {0x12}, 0},
    {"WrongCompletion", "fault = wrong_completion", {0x12, 0xB1}, 0},
    {"Noise", "fault = noise\nfault.bytes = 3", {0x12, 0xB0}, 3},
};

INSTANTIATE_TEST_SUITE_P(Link, FaultReply, ::testing::ValuesIn(kFaults),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Fault, AfterTimesAndPeriodSelectTheReplies) {
    const struct {
        const char* config;
        std::vector<size_t> sizes;
    } cases[] = {
        {"fault.after = 1\nfault.times = 2", {2, 0, 0, 2, 2}},
        {"fault.after = 1\nfault.times = 1\nfault.period = 3", {2, 0, 2, 2, 0, 2, 2}},
    };
    for (const auto& c : cases) {
        auto board = makeBoard(std::string("fault = no_reply\n") + c.config);
        std::vector<size_t> sizes;
        for (size_t i = 0; i < c.sizes.size(); ++i)
            sizes.push_back(talk(*board, kReadByte).size());
        EXPECT_EQ(sizes, c.sizes) << c.config;
    }
}

TEST(Fault, StalledBytesAreNotOvertakenByALaterReply) {
    auto board = makeBoard();
    podsim::Fault f;
    f.kind = podsim::FaultKind::Stall;
    f.bytes = 2;
    f.delayUs = 40000;
    board->setFault(f);
    board->hostWrite({0xC2, 0x01});
    EXPECT_EQ(board->available(), 2u);
    board->clearFault();
    board->hostWrite({0xA0, 0x00});
    EXPECT_TRUE(eventually([&] { return board->available() == 5; }));
    EXPECT_EQ(hex(board->readAvailable()), hex({0x01, 0x05, 0x2F, 0xD2, 0xB0}));
}

TEST(ScriptedReplies, AnswerEachWriteInTurnUntilCleared) {
    auto board = makeBoard("fault = no_reply");
    board->setScriptedReplies({{0x01, 0x02}, {}, {0xFF, 0x00, 0xB0}});
    board->endReset();
    EXPECT_EQ(hex(board->readAvailable()), hex(kBanner));
    EXPECT_EQ(hex(talk(*board, kReadByte)), hex({0x01, 0x02}));
    EXPECT_TRUE(talk(*board, kReadByte).empty());
    EXPECT_EQ(hex(talk(*board, {0xC2})), hex({0xFF, 0x00, 0xB0}));
    EXPECT_TRUE(talk(*board, kReadByte).empty());
    board->clearScriptedReplies();
    board->clearFault();
    EXPECT_EQ(hex(talk(*board, kReadByte)), hex({0x12, 0xB0}));
}

TEST(Unplug, AfterNWritesAndBackByReplugOrByItself) {
    auto board = makeBoard("unplug_after = 1");
    EXPECT_EQ(talk(*board, kReadByte).size(), 2u);
    EXPECT_TRUE(talk(*board, kReadByte).empty());
    EXPECT_TRUE(board->unplugged());
    EXPECT_EQ(board->modemStatus(), 0u);
    EXPECT_EQ(board->hostWrites(), 1u);
    board->replug();
    EXPECT_EQ(talk(*board, kReadByte).size(), 2u);

    auto returning = makeBoard("unplug_after = 1\nreplug_after_ms = 50");
    talk(*returning, kReadByte);
    EXPECT_TRUE(talk(*returning, kReadByte).empty());
    EXPECT_TRUE(returning->unplugged());
    EXPECT_TRUE(eventually([&] { return !returning->unplugged(); }));
    EXPECT_EQ(talk(*returning, kReadByte).size(), 2u);
    EXPECT_TRUE(talk(*returning, kReadByte).empty());
}

TEST(Traffic, RecordsBothDirectionsUnlessSwitchedOff) {
    auto board = makeBoard();
    board->setDtr(true);
    board->hostWrite({0xA0, 0x00});
    EXPECT_EQ(hex(board->hostBytes()), hex({0xA0, 0x00}));
    EXPECT_TRUE(board->boardBytes().empty());
    board->setDtr(false);
    board->readAvailable();
    board->clearTraffic();
    board->hostWrite({0xA0});
    board->hostWrite({0x01});
    board->readAvailable();
    EXPECT_EQ(hex(board->hostBytes()), hex({0xA0, 0x01}));
    EXPECT_EQ(hex(board->lastHostWrite()), hex({0x01}));
    EXPECT_EQ(hex(board->boardBytes()), hex({0xB0}));
    EXPECT_EQ(board->traffic().size(), 3u);

    auto quiet = makeBoard("record_traffic = false");
    EXPECT_EQ(talk(*quiet, kReadByte).size(), 2u);
    EXPECT_TRUE(quiet->traffic().empty());
}

TEST(Config, MistakesAreRefusedWithTheLineAndKey) {
    const std::pair<const char*, const char*> cases[] = {
        {"baud = 1\nbogus = 1", "line 2: unknown key 'bogus'"},
        {"baud = fast", "line 1: bad value for 'baud': 'fast'"},
        {"device = 0x2A", "two devices at address 0x2A"},
        {"just words", "line 1: expected 'key = value'"},
    };
    for (const auto& [text, message] : cases) {
        try {
            podsim::Config::fromText(text);
            ADD_FAILURE() << "accepted: " << text;
        } catch (const podsim::ConfigError& e) {
            EXPECT_NE(std::string(e.what()).find(message), std::string::npos) << e.what();
        }
    }
}

} // namespace
