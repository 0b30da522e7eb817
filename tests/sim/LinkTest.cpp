// The board's side of the link as the library's tests rely on it: injected
// faults, scripted answers, unplugging, the traffic record, the D2XX stand-in.
#include "Noise.h"
#include "Sim.h"
#include "StandIn.h"
#include "d2xx/D2xxApi.h"

#include <algorithm>

using namespace simtest;
namespace ft = podsim::d2xx;

namespace {

TEST(Fault, EachKindChangesTheRepliesItSelectsButNeverTheBannerAndStallsAreNotOvertaken) {
    const struct {
        const char* config;
        Bytes reply; // to kReadByte; for noise, what follows the noise bytes
        size_t noise;
    } cases[] = {
        {"", {0x12, 0xB0}, 0},
        {"fault = no_reply", {}, 0},
        {"fault = cut\nfault.bytes = 1", {0x12}, 0},
        {"fault = stall\nfault.bytes = 1", {0x12}, 0},
        {"fault = wrong_completion", {0x12, 0xB1}, 0},
        {"fault = noise\nfault.bytes = 3", {0x12, 0xB0}, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.config);
        auto board = makeBoard(c.config);
        board->endReset();
        EXPECT_EQ(board->readAvailable(), kBanner);
        const Bytes reply = talk(*board, kReadByte);
        ASSERT_EQ(reply.size(), c.noise + c.reply.size());
        EXPECT_TRUE(
            std::all_of(reply.begin(), reply.begin() + c.noise, podsim::NoiseSource::allowed));
        EXPECT_EQ(Bytes(reply.begin() + c.noise, reply.end()), c.reply);
    }
    // After, times and period select the replies.
    const std::pair<const char*, std::vector<size_t>> selections[] = {
        {"fault.after = 1\nfault.times = 2", {2, 0, 0, 2, 2}},
        {"fault.after = 1\nfault.times = 1\nfault.period = 3", {2, 0, 2, 2, 0, 2, 2}},
    };
    for (const auto& [config, expected] : selections) {
        auto board = makeBoard(std::string("fault = no_reply\n") + config);
        std::vector<size_t> sizes;
        for (size_t i = 0; i < expected.size(); ++i)
            sizes.push_back(talk(*board, kReadByte).size());
        EXPECT_EQ(sizes, expected) << config;
    }
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
    EXPECT_EQ(board->readAvailable(), (Bytes{0x01, 0x05, 0x2F, 0xD2, 0xB0}));
}

TEST(ScriptedReplies, AnswerEachWriteInTurnUntilClearedAndAreRecordedAsIsUnplugging) {
    auto board = makeBoard();
    board->setScriptedReplies({{0x01, 0x02}, {}, {0xFF, 0x00, 0xB0}});
    EXPECT_EQ(talk(*board, kReadByte), (Bytes{0x01, 0x02}));
    EXPECT_TRUE(talk(*board, kReadByte).empty());
    EXPECT_EQ(talk(*board, {0xC2}), (Bytes{0xFF, 0x00, 0xB0}));
    EXPECT_TRUE(talk(*board, kReadByte).empty());
    board->clearScriptedReplies();
    EXPECT_EQ(talk(*board, {0xA0}), Bytes{});
    EXPECT_EQ(talk(*board, {0x01}), Bytes{0xB0});
    EXPECT_EQ(board->lastHostWrite(), Bytes{0x01});
    EXPECT_EQ(board->boardBytes(), (Bytes{0x01, 0x02, 0xFF, 0x00, 0xB0, 0xB0}));
    EXPECT_EQ(board->hostWrites(), 6u);
    // Unplugged after a number of writes until replugged.
    board = makeBoard("unplug_after = 1");
    EXPECT_EQ(talk(*board, kReadByte).size(), 2u);
    EXPECT_TRUE(talk(*board, kReadByte).empty());
    EXPECT_TRUE(board->unplugged());
    EXPECT_EQ(board->modemStatus(), 0u);
    EXPECT_EQ(board->hostWrites(), 1u);
    board->replug();
    EXPECT_EQ(talk(*board, kReadByte).size(), 2u);
}

// The stand-in, reached the way the board-link library reaches a driver.
#define FT(name) standin::hook<decltype(&name)>(#name)

uint32_t count() {
    uint32_t n = 99;
    return FT(FT_ListDevices)(&n, nullptr, ft::kListNumberOnly) == ft::kOk ? n : 99;
}

TEST(D2xx, ListsOpensAndLosesDevicesAndServesTheirBoards) {
    ASSERT_TRUE(standin::reload("usb.devices = 2\nunplug_after = 1\nusb.reject_baud = 625000"));
    EXPECT_EQ(count(), 2u);
    void *h = nullptr, *again = nullptr;
    ASSERT_EQ(FT(FT_Open)(1, &h), ft::kOk);
    EXPECT_EQ(FT(FT_Open)(1, &again), ft::kDeviceNotOpened);
    uint32_t type = 99, id = 0, written = 0, rx = 0, tx = 0, ev = 0;
    char serial[96] = {}, description[96] = {};
    EXPECT_EQ(FT(FT_GetDeviceInfo)(h, &type, &id, serial, description, nullptr), ft::kOk);
    EXPECT_STREQ(serial, "PL000002");
    EXPECT_EQ(FT(FT_SetBaudRate)(h, 625000), ft::kInvalidBaudRate);
    EXPECT_EQ(FT(FT_SetBaudRate)(h, 921600), ft::kOk);
    // A reset brings the banner of the device opened, and its replies come back.
    FT(FT_SetDtr)(h);
    FT(FT_ClrDtr)(h);
    auto read = [&](uint32_t n) {
        Bytes in(n);
        EXPECT_TRUE(eventually([&] { return !FT(FT_GetStatus)(h, &rx, &tx, &ev) && rx == n; }));
        EXPECT_EQ(FT(FT_Read)(h, in.data(), n, &rx), ft::kOk);
        return in;
    };
    EXPECT_EQ(read(uint32_t(kBanner.size())), kBanner);
    EXPECT_EQ(FT(FT_Write)(h, kReadByte.data(), 6, &written), ft::kOk);
    EXPECT_EQ(written, 6u);
    EXPECT_EQ(read(2), (Bytes{0x12, 0xB0}));
    // Unplugged after that write.
    EXPECT_EQ(FT(FT_Write)(h, kReadByte.data(), 6, &written), ft::kIoError);
    EXPECT_EQ(FT(FT_GetStatus)(h, &rx, &tx, &ev), ft::kIoError);
    EXPECT_EQ(count(), 1u);
    EXPECT_EQ(FT(FT_Close)(h), ft::kOk);
    EXPECT_EQ(FT(FT_Close)(h), ft::kInvalidHandle);
    EXPECT_EQ(FT(FT_Open)(1, &h), ft::kDeviceNotFound);
}

} // namespace
