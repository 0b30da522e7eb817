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
#include <memory>
#include <sstream>
#include <string>
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

// Bytes written as hex text, "A0 05 2A".
Bytes hex(const char* text) {
    std::istringstream in(text);
    Bytes bytes;
    for (unsigned b; in >> std::hex >> b;)
        bytes.push_back(uint8_t(b));
    return bytes;
}

Bytes padded(const char* frame, size_t size, const char* next) {
    Bytes bytes = hex(frame), more = hex(next);
    bytes.resize(size, 0x00);
    bytes.insert(bytes.end(), more.begin(), more.end());
    return bytes;
}

// Name, board configuration, bytes sent and the reply.
const std::tuple<const char*, const char*, Bytes, Bytes> kCases[] = {
    {"Start", "", hex("A0 00"), hex("B0")},
    {"RepeatedStart", "", hex("A0 01"), hex("B0")},
    {"BitmaskDefault", "", hex("A0 02"), hex("FF 17 B0")},
    {"BitmaskOldFirmware", "old_firmware = true", hex("A0 02"), hex("B0")},
    {"Version", "firmware = 1.5.43", hex("C2 01"), hex("01 05 2B D2")},
    {"VersionWrongArgument", "", hex("C2 02"), hex("EE")},
    {"I2cSpeed", "", hex("A6 24"), hex("24 B6")},
    {"I2cSpeedRefused", "i2c_refuse = 0x24", hex("A6 24"), hex("30 B6")},
    {"Script", "", hex("A9 01 02 03"), hex("01 02 B9")},
    {"P8WriteRead", "", hex("AA 05 AB 10 55 AC 10"), hex("BA BB 55")},
    {"SpiSpeedRefused", "spi_refuse = 0x11", hex("AD 11"), hex("14 BD")},
    {"SpiControlSetAndQuery", "", hex("AE 03 AE 80"), hex("03 BE 03 BE")},
    {"SpiExchangeXor", "spi_xor = 0xFF", hex("AF 0F"), hex("F0 BF")},
    // The control byte sets the block size; one byte more starts a new command.
    {"SpiBlockOf2", "", hex("AE 18 AF 40 41 A4"), hex("18 BE 40 41 BF EE")},
    {"SpiBlockOf4", "", hex("AE 38 AF 01 02 03 04 A4"), hex("38 BE 01 02 03 04 BF EE")},
    {"SpiBlockOf1", "", hex("AE 10 AF 40 A4"), hex("10 BE 40 BF EE")},
    {"PinWriteRead", "", hex("F3 01 E3 00 F3 00 E3 00"), hex("01 01 00 00")},
    {"PortableReadByte", "", hex("A0 00 A1 2A A1 00 A0 01 A1 2B A2 00 A3 00"),
     hex("B0 B1 B1 B0 B1 12 B2 B3")},
    {"PortableAddressNack", "", hex("A0 00 A1 40 A1 00 A3 00"), hex("B0 E1 E1 B3")},
    {"QuickAck", "", hex("A0 03 2B"), hex("B0")},
    {"QuickNack", "", hex("A0 03 40"), hex("00 FA")},
    {"OptionSetThenGet", "", hex("A0 04 12 05 A0 04 92"), hex("05 B0 05 B0")},
    {"NativeReadByte", "", hex("A0 05 01 01 2B 00"), hex("12 B0")},
    {"NativeReadWord", "", hex("A0 05 01 02 A0 10"), hex("10 10 B0")},
    {"NativeReceiveByte", "", hex("A0 05 00 01 2A"), hex("12 B0")},
    {"NativeAddressNack", "", hex("A0 05 01 01 40 00"), hex("00 FA")},
    {"NativeDataNack", "", hex("A0 05 02 00 2A 20 01"), hex("02 FA")},
    {"ProcessCall", "", hex("A0 05 03 02 A0 C0 34 12"), hex("CB ED B0")},
    {"BlockRead", "", hex("A0 07 A0 80"), hex("04 80 81 82 83 B0")},
    {"BlockReadPec", "", hex("A0 08 A0 81"), hex("04 81 82 83 84 13 B0")},
    // Fixed-size frames: their padding is consumed, the next command is understood.
    {"BlockWriteFrame", "", padded("A0 06 A0 85 02 11 22", 261, "A0 07 A0 85"),
     hex("B0 02 11 22 B0")},
    {"PaddedWriteReadFrame", "", padded("A0 05 03 00 A0 86 01 44", 263, "A0 07 A0 86"),
     hex("B0 01 44 B0")},
    // The PEC of A0 10 34 12 is 8E.
    {"WordWriteWithBadPec", "", hex("A0 05 04 00 A0 10 34 12 8F"), hex("04 FA")},
    {"SpiNativeCs", "", hex("A0 0C 97 01 33"), hex("33 B0")},
    // The RAR4120E's power-up values; read-only registers keep theirs, 0x03 its status nibble.
    {"Rar4120ePowerUp", "", hex("A0 05 01 17 2A 00"),
     hex("12 00 01 08 FF FF FF FF FF FF FF FF FF FF 10 10 00 00 00 00 02 04 3F B0")},
    {"Rar4120eReadOnlyBits", "",
     hex("A0 05 02 00 2A 00 A5 A0 05 02 00 2A 15 A5 A0 05 02 00 2A 02 A5 A0 05 02 00 2A 03 55 "
         "A0 05 01 04 2A 00 A0 05 01 01 2A 15 A0 05 02 00 2A 17 01"),
     hex("B0 B0 B0 B0 12 00 A5 05 B0 04 B0 02 FA")},
    {"UnknownCommand", "", hex("A4"), hex("EE")},
    {"SubCommandNotOffered", "native_bitmask = 0x0003", hex("A0 07"), hex("EE")},
    {"OldFirmwareNative", "old_firmware = true", hex("A0 03"), hex("EE")},
    {"ZerosBetweenCommands", "", hex("00 00 A0 00 00 A3 00"), hex("B0 B3")},
};

TEST(Firmware, AnswersEachCommandWithExactBytesWholeOrSplit) {
    for (const auto& [name, config, sent, reply] : kCases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(talk(*makeBoard(config), sent), reply);
        auto split = makeBoard(config);
        for (uint8_t b : sent)
            split->hostWrite({b});
        EXPECT_EQ(split->readAvailable(), reply);
    }
}

TEST(Fault, EachKindChangesTheRepliesItSelectsButNeverTheBannerAndStallsAreNotOvertaken) {
    // The reply to kReadByte: its noise bytes, then the rest.
    const std::tuple<const char*, size_t, Bytes> cases[] = {
        {"", 0, {0x12, 0xB0}},
        {"fault = no_reply", 0, {}},
        {"fault = cut\nfault.bytes = 1", 0, {0x12}},
        {"fault = stall\nfault.bytes = 1", 0, {0x12}},
        {"fault = wrong_completion", 0, {0x12, 0xB1}},
        {"fault = noise\nfault.bytes = 3", 3, {0x12, 0xB0}},
    };
    for (const auto& [config, noise, rest] : cases) {
        SCOPED_TRACE(config);
        auto board = makeBoard(config);
        board->endReset();
        EXPECT_EQ(board->readAvailable(), kBanner);
        const Bytes reply = talk(*board, kReadByte);
        ASSERT_EQ(reply.size(), noise + rest.size());
        EXPECT_TRUE(
            std::all_of(reply.begin(), reply.begin() + noise, podsim::NoiseSource::allowed));
        EXPECT_EQ(Bytes(reply.begin() + noise, reply.end()), rest);
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
    // The rest held back far longer than any step of the test takes.
    auto board = makeBoard("fault = stall\nfault.bytes = 2\nfault.delay_us = 60000000");
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
        EXPECT_TRUE(
            standin::eventually([&] { return !FT(FT_GetStatus)(h, &rx, &tx, &ev) && rx == n; }));
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
