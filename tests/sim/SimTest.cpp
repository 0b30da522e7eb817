// The simulator where the library's tests rely on it: every firmware command
// answered with exactly the bytes the host expects, however it is split across
// writes; injected faults, scripted answers, unplugging, the traffic record, and
// the D2XX stand-in.
#include "Board.h"
#include "Noise.h"
#include "StandIn.h"
#include "d2xx/D2xxApi.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace ft = podsim::d2xx;

namespace {

using Bytes = std::vector<uint8_t>;

const std::string kBannerText = "Kelvo PODLINK v01.05.47\r\n";
const Bytes kBanner(kBannerText.begin(), kBannerText.end());
const Bytes kReadByte{0xA0, 0x05, 0x01, 0x01, 0x2A, 0x00}; // answered 0x12 0xB0

// Writes and returns everything the board answered (no latency configured).
Bytes talk(podsim::Board& board, const Bytes& out) {
    board.hostWrite(out);
    return board.readAvailable();
}

std::unique_ptr<podsim::Board> makeBoard(const std::string& cfg = "") {
    return std::make_unique<podsim::Board>(podsim::Config::fromText(cfg));
}

// Polls until ready() holds; false after `ms` milliseconds.
template <typename Ready> bool eventually(Ready ready, int ms = 2000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!ready()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

Bytes padded(Bytes frame, size_t size, const Bytes& next) {
    frame.resize(size, 0x00);
    frame.insert(frame.end(), next.begin(), next.end());
    return frame;
}

struct CommandCase {
    const char* name;
    const char* config;
    Bytes sent;
    Bytes reply;
};

const CommandCase kCases[] = {
    {"Start", "", {0xA0, 0x00}, {0xB0}},
    {"RepeatedStart", "", {0xA0, 0x01}, {0xB0}},
    {"BitmaskDefault", "", {0xA0, 0x02}, {0xFF, 0x17, 0xB0}},
    {"BitmaskOldFirmware", "old_firmware = true", {0xA0, 0x02}, {0xB0}},
    {"Version", "firmware = 1.5.43", {0xC2, 0x01}, {0x01, 0x05, 0x2B, 0xD2}},
    {"VersionWrongArgument", "", {0xC2, 0x02}, {0xEE}},
    {"I2cSpeed", "", {0xA6, 0x24}, {0x24, 0xB6}},
    {"I2cSpeedRefused", "i2c_refuse = 0x24", {0xA6, 0x24}, {0x30, 0xB6}},
    {"Script", "", {0xA9, 0x01, 0x02, 0x03}, {0x01, 0x02, 0xB9}},
    {"P8WriteRead", "", {0xAA, 0x05, 0xAB, 0x10, 0x55, 0xAC, 0x10}, {0xBA, 0xBB, 0x55}},
    {"SpiSpeedRefused", "spi_refuse = 0x11", {0xAD, 0x11}, {0x14, 0xBD}},
    {"SpiControlSetAndQuery", "", {0xAE, 0x03, 0xAE, 0x80}, {0x03, 0xBE, 0x03, 0xBE}},
    {"SpiExchangeXor", "spi_xor = 0xFF", {0xAF, 0x0F}, {0xF0, 0xBF}},
    // The control byte sets the block size; one byte more starts a new command.
    {"SpiBlockOf2", "", {0xAE, 0x18, 0xAF, 0x40, 0x41, 0xA4}, {0x18, 0xBE, 0x40, 0x41, 0xBF, 0xEE}},
    {"SpiBlockOf4", "", {0xAE, 0x38, 0xAF, 1, 2, 3, 4, 0xA4}, {0x38, 0xBE, 1, 2, 3, 4, 0xBF, 0xEE}},
    {"SpiBlockOf1", "", {0xAE, 0x10, 0xAF, 0x40, 0xA4}, {0x10, 0xBE, 0x40, 0xBF, 0xEE}},
    {"PinWriteRead",
     "",
     {0xF3, 0x01, 0xE3, 0x00, 0xF3, 0x00, 0xE3, 0x00},
     {0x01, 0x01, 0x00, 0x00}},
    {"PortableReadByte",
     "",
     {0xA0, 0x00, 0xA1, 0x2A, 0xA1, 0x00, 0xA0, 0x01, 0xA1, 0x2B, 0xA2, 0x00, 0xA3, 0x00},
     {0xB0, 0xB1, 0xB1, 0xB0, 0xB1, 0x12, 0xB2, 0xB3}},
    {"PortableAddressNack",
     "",
     {0xA0, 0x00, 0xA1, 0x40, 0xA1, 0x00, 0xA3, 0x00},
     {0xB0, 0xE1, 0xE1, 0xB3}},
    {"QuickAck", "", {0xA0, 0x03, 0x2B}, {0xB0}},
    {"QuickNack", "", {0xA0, 0x03, 0x40}, {0x00, 0xFA}},
    {"OptionSetThenGet", "", {0xA0, 0x04, 0x12, 0x05, 0xA0, 0x04, 0x92}, {0x05, 0xB0, 0x05, 0xB0}},
    {"NativeReadByte", "", {0xA0, 0x05, 0x01, 0x01, 0x2B, 0x00}, {0x12, 0xB0}},
    {"NativeReadWord", "", {0xA0, 0x05, 0x01, 0x02, 0xA0, 0x10}, {0x10, 0x10, 0xB0}},
    {"NativeReceiveByte", "", {0xA0, 0x05, 0x00, 0x01, 0x2A}, {0x12, 0xB0}},
    {"NativeAddressNack", "", {0xA0, 0x05, 0x01, 0x01, 0x40, 0x00}, {0x00, 0xFA}},
    {"NativeDataNack", "", {0xA0, 0x05, 0x02, 0x00, 0x2A, 0x20, 0x01}, {0x02, 0xFA}},
    {"ProcessCall", "", {0xA0, 0x05, 0x03, 0x02, 0xA0, 0xC0, 0x34, 0x12}, {0xCB, 0xED, 0xB0}},
    {"BlockRead", "", {0xA0, 0x07, 0xA0, 0x80}, {0x04, 0x80, 0x81, 0x82, 0x83, 0xB0}},
    {"BlockReadPec", "", {0xA0, 0x08, 0xA0, 0x81}, {0x04, 0x81, 0x82, 0x83, 0x84, 0x13, 0xB0}},
    // Fixed-size frames: their padding is consumed, the next command is understood.
    {"BlockWriteFrame",
     "",
     padded({0xA0, 0x06, 0xA0, 0x85, 0x02, 0x11, 0x22}, 261, {0xA0, 0x07, 0xA0, 0x85}),
     {0xB0, 0x02, 0x11, 0x22, 0xB0}},
    {"PaddedWriteReadFrame",
     "",
     padded({0xA0, 0x05, 0x03, 0x00, 0xA0, 0x86, 0x01, 0x44}, 263, {0xA0, 0x07, 0xA0, 0x86}),
     {0xB0, 0x01, 0x44, 0xB0}},
    {"WordWriteWithBadPec",
     "",
     {0xA0, 0x05, 0x04, 0x00, 0xA0, 0x10, 0x34, 0x12, 0x8E ^ 1},
     {0x04, 0xFA}},
    {"SpiNativeCs", "", {0xA0, 0x0C, 0x97, 0x01, 0x33}, {0x33, 0xB0}},
    // The RAR4120E's power-up values; read-only registers keep theirs, 0x03 its status nibble.
    {"Rar4120ePowerUp",
     "",
     {0xA0, 0x05, 0x01, 23, 0x2A, 0x00},
     {0x12, 0x00, 0x01, 0x08, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
      0xFF, 0xFF, 0x10, 0x10, 0x00, 0x00, 0x00, 0x00, 0x02, 0x04, 0x3F, 0xB0}},
    {"Rar4120eReadOnlyBits",
     "",
     {0xA0, 0x05, 0x02, 0x00, 0x2A, 0x00, 0xA5, 0xA0, 0x05, 0x02, 0x00, 0x2A,
      0x15, 0xA5, 0xA0, 0x05, 0x02, 0x00, 0x2A, 0x02, 0xA5, 0xA0, 0x05, 0x02,
      0x00, 0x2A, 0x03, 0x55, 0xA0, 0x05, 0x01, 0x04, 0x2A, 0x00, 0xA0, 0x05,
      0x01, 0x01, 0x2A, 0x15, 0xA0, 0x05, 0x02, 0x00, 0x2A, 0x17, 0x01},
     {0xB0, 0xB0, 0xB0, 0xB0, 0x12, 0x00, 0xA5, 0x05, 0xB0, 0x04, 0xB0, 0x02, 0xFA}},
    {"UnknownCommand", "", {0xA4}, {0xEE}},
    {"SubCommandNotOffered", "native_bitmask = 0x0003", {0xA0, 0x07}, {0xEE}},
    {"OldFirmwareNative", "old_firmware = true", {0xA0, 0x03}, {0xEE}},
    {"ZerosBetweenCommands", "", {0x00, 0x00, 0xA0, 0x00, 0x00, 0xA3, 0x00}, {0xB0, 0xB3}},
};

TEST(Firmware, AnswersEachCommandWithExactBytesWholeOrSplit) {
    for (const CommandCase& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(talk(*makeBoard(c.config), c.sent), c.reply);
        auto split = makeBoard(c.config);
        for (uint8_t b : c.sent)
            split->hostWrite({b});
        EXPECT_EQ(split->readAvailable(), c.reply);
    }
}

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
    f.delayUs = 60000000; // held back far longer than any step of the test takes
    board->setFault(f);
    board->hostWrite({0xC2, 0x01});
    EXPECT_EQ(board->available(), 2u);
    board->clearFault();
    board->hostWrite({0xA0, 0x00});
    // The next reply queues behind the held-back bytes instead of overtaking them.
    EXPECT_EQ(board->readAvailable(), (Bytes{0x01, 0x05}));
    EXPECT_GT(board->microsUntilNext(), 1000000);
    EXPECT_EQ(board->boardBytes(), (Bytes{0x01, 0x05, 0x2F, 0xD2, 0xB0}));
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
