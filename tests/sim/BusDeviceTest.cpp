// The targets on the simulated I2C bus: the RAR4120E and the SMBus device.
#include "Pec.h"
#include "SimTestUtil.h"

#include <gtest/gtest.h>

using namespace simtest;

namespace {

Bytes writeByte(uint8_t addr, uint8_t reg, uint8_t v) {
    return {0xA0, 0x05, 0x02, 0x00, addr, reg, v};
}

Bytes readBytes(uint8_t addr, uint8_t reg, uint8_t n) {
    return {0xA0, 0x05, 0x01, n, addr, reg};
}

TEST(Pec, MatchesSmbusExamples) {
    const Bytes digits = text("123456789");
    EXPECT_EQ(podsim::pec(digits.data(), digits.size()), 0xF4);
    const Bytes msg{0x2A, 0x10, 0x2B, 0x02, 0x34, 0x12};
    EXPECT_EQ(podsim::pec(msg.data(), msg.size()), 0x55);
    EXPECT_EQ(podsim::pec(msg.data() + 2, 4, podsim::pec(msg.data(), 2)), 0x55);
    EXPECT_EQ(crc8(msg), 0x55);
}

TEST(Rar4120e, PowersUpWithDemoValues) {
    const Bytes expected{0x12, 0x00, 0x01, 0x08, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                         0xFF, 0xFF, 0x10, 0x10, 0x00, 0x00, 0x00, 0x00, 0x02, 0x04, 0x3F};
    auto board = makeBoard();
    Bytes reply = talk(*board, readBytes(0x2A, 0x00, 23));
    ASSERT_EQ(reply.size(), 24u);
    EXPECT_EQ(hex(Bytes(reply.begin(), reply.end() - 1)), hex(expected));
    for (uint8_t r = 0; r < expected.size(); ++r)
        EXPECT_EQ(board->chipRegister(r), expected[r]);
}

TEST(Rar4120e, ReadOnlyRegistersKeepTheirValue) {
    for (uint8_t reg : {0x00, 0x01, 0x11, 0x12, 0x13, 0x15}) {
        auto board = makeBoard();
        board->setChipRegister(reg, 0x05);
        EXPECT_EQ(hex(talk(*board, writeByte(0x2A, reg, 0xA5))), hex({0xB0}));
        EXPECT_EQ(board->chipRegister(reg), 0x05) << int(reg);
        EXPECT_EQ(hex(talk(*board, readBytes(0x2A, reg, 1))), hex({0x05, 0xB0}));
    }
}

TEST(Rar4120e, WritableRegistersTakeTheValue) {
    for (uint8_t reg : {0x02, 0x04, 0x05, 0x0D, 0x0E, 0x0F, 0x10, 0x14, 0x16}) {
        auto board = makeBoard();
        talk(*board, writeByte(0x2A, reg, 0x21));
        EXPECT_EQ(board->chipRegister(reg), 0x21) << int(reg);
    }
}

TEST(Rar4120e, ImodeStatusBitsSurviveWrites) {
    auto board = makeBoard();
    board->setChipRegister(0x03, 0xA8);
    talk(*board, writeByte(0x2A, 0x03, 0x55));
    EXPECT_EQ(board->chipRegister(0x03), 0xA5);
    EXPECT_EQ(hex(talk(*board, readBytes(0x2A, 0x03, 1))), hex({0xA5, 0xB0}));
}

TEST(Rar4120e, PortableWriteThenReadUsesRegisterPointer) {
    auto board = makeBoard();
    // S 2A 04 33 P, then S 2A 04 Sr 2B R- P.
    Bytes reply = talk(*board, {0xA0, 0x00, 0xA1, 0x2A, 0xA1, 0x04, 0xA1, 0x33, 0xA3,
                                0x00, 0xA0, 0x00, 0xA1, 0x2A, 0xA1, 0x04, 0xA0, 0x01,
                                0xA1, 0x2B, 0xA2, 0x01, 0xA2, 0x00, 0xA3, 0x00});
    EXPECT_EQ(hex(reply), hex({0xB0, 0xB1, 0xB1, 0xB1, 0xB3, 0xB0, 0xB1, 0xB1, 0xB0, 0xB1, 0x33,
                               0xB2, 0xFF, 0xB2, 0xB3}));
}

TEST(Rar4120e, WritesBeyondLastRegisterAreNotAcknowledged) {
    auto board = makeBoard();
    EXPECT_EQ(hex(talk(*board, writeByte(0x2A, 0x17, 0x01))), hex({0x02, 0xFA}));
}

TEST(Rar4120e, CanBeMovedOrRemoved) {
    auto moved = makeBoard("rar4120e = 0x30");
    EXPECT_EQ(hex(talk(*moved, readBytes(0x30, 0x00, 1))), hex({0x12, 0xB0}));
    EXPECT_EQ(hex(talk(*moved, readBytes(0x2A, 0x00, 1))), hex({0x00, 0xFA}));
    auto none = makeBoard("rar4120e = off");
    EXPECT_EQ(hex(talk(*none, {0xA0, 0x03, 0x2A})), hex({0x00, 0xFA}));
    EXPECT_THROW(none->chipRegister(0), std::out_of_range);
}

TEST(BusScan, FindsExactlyTheConfiguredDevices) {
    auto board = makeBoard("device = 0x50\ndevice = 0x52, 0x7E\nsmbus = 0xA0");
    std::vector<int> found;
    for (int a = 0; a < 256; a += 2) {
        if (talk(*board, {0xA0, 0x03, uint8_t(a)}) == Bytes{0xB0}) found.push_back(a);
    }
    EXPECT_EQ(found, (std::vector<int>{0x2A, 0x50, 0x52, 0x7E, 0xA0}));
}

TEST(PlainDevice, StoresBytesBehindPointer) {
    auto board = makeBoard("device = 0x50");
    talk(*board, {0xA0, 0x05, 0x03, 0x00, 0x50, 0x10, 0xAB, 0xCD});
    EXPECT_EQ(board->memoryByte(0x50, 0x11), 0xCD);
    EXPECT_EQ(hex(talk(*board, readBytes(0x50, 0x10, 2))), hex({0xAB, 0xCD, 0xB0}));
}

TEST(Smbus, WordWriteAndRead) {
    auto board = makeBoard();
    EXPECT_EQ(hex(talk(*board, {0xA0, 0x05, 0x03, 0x00, 0xA0, 0x10, 0x34, 0x12})), hex({0xB0}));
    EXPECT_EQ(board->smbusWord(0xA0, 0x10), 0x1234);
    EXPECT_EQ(hex(talk(*board, readBytes(0xA0, 0x10, 2))), hex({0x34, 0x12, 0xB0}));
}

TEST(Smbus, ReadWordWithPec) {
    auto board = makeBoard();
    board->setSmbusWord(0xA0, 0x21, 0xBEEF);
    Bytes reply = talk(*board, readBytes(0xA0, 0x21, 3));
    EXPECT_EQ(hex(reply), hex({0xEF, 0xBE, crc8({0xA0, 0x21, 0xA1, 0xEF, 0xBE}), 0xB0}));
}

TEST(Smbus, WriteWordWithPecIsChecked) {
    auto board = makeBoard();
    const uint8_t good = crc8({0xA0, 0x10, 0x34, 0x12});
    EXPECT_EQ(hex(talk(*board, {0xA0, 0x05, 0x04, 0x00, 0xA0, 0x10, 0x34, 0x12, good})),
              hex({0xB0}));
    EXPECT_EQ(board->smbusWord(0xA0, 0x10), 0x1234);
    Bytes bad{0xA0, 0x05, 0x04, 0x00, 0xA0, 0x10, 0x78, 0x56, uint8_t(good ^ 1)};
    EXPECT_EQ(hex(talk(*board, bad)), hex({0x04, 0xFA}));
    EXPECT_EQ(board->smbusWord(0xA0, 0x10), 0x1234);
    EXPECT_EQ(board->smbusPecErrors(0xA0), 1u);
}

TEST(Smbus, ProcessCallAnswersComplement) {
    auto board = makeBoard();
    EXPECT_EQ(hex(talk(*board, {0xA0, 0x05, 0x03, 0x02, 0xA0, 0xC5, 0x00, 0xFF})),
              hex({0xFF, 0x00, 0xB0}));
    EXPECT_EQ(board->smbusProcessResult(0xA0, 0xC5), 0x00FF);
}

TEST(Smbus, UnsupportedCommandIsNotAcknowledged) {
    auto board = makeBoard();
    EXPECT_EQ(hex(talk(*board, readBytes(0xA0, 0xD0, 2))), hex({0x01, 0xFA}));
}

TEST(Smbus, NativeBlockWriteFixedFrame) {
    auto board = makeBoard();
    Bytes frame{0xA0, 0x06, 0xA0, 0x85, 0x03, 0x11, 0x22, 0x33};
    frame.resize(261, 0x00);
    EXPECT_EQ(hex(talk(*board, frame)), hex({0xB0}));
    EXPECT_EQ(hex(board->smbusBlock(0xA0, 0x85)), hex({0x11, 0x22, 0x33}));
    // The padding was consumed by the frame: the next command is understood.
    EXPECT_EQ(hex(talk(*board, {0xA0, 0x07, 0xA0, 0x85})), hex({0x03, 0x11, 0x22, 0x33, 0xB0}));
}

TEST(Smbus, NativeBlockWriteOf256Bytes) {
    auto board = makeBoard();
    Bytes frame{0xA0, 0x06, 0xA0, 0x80, 0x00};
    for (int i = 0; i < 256; ++i)
        frame.push_back(uint8_t(0xFF - i));
    EXPECT_EQ(hex(talk(*board, frame)), hex({0xB0}));
    EXPECT_EQ(board->smbusBlock(0xA0, 0x80).size(), 256u);
    Bytes reply = talk(*board, {0xA0, 0x07, 0xA0, 0x80});
    ASSERT_EQ(reply.size(), 258u);
    EXPECT_EQ(reply[0], 0x00);
    EXPECT_EQ(reply[1], 0xFF);
    EXPECT_EQ(reply[257], 0xB0);
}

TEST(Smbus, BlockWriteThroughPaddedWriteReadFrame) {
    auto board = makeBoard();
    Bytes frame{0xA0, 0x05, 0x05, 0x00, 0xA0, 0x86, 0x03, 0x44, 0x55, 0x66};
    frame.resize(263, 0x00);
    EXPECT_EQ(hex(talk(*board, frame)), hex({0xB0}));
    EXPECT_EQ(hex(board->smbusBlock(0xA0, 0x86)), hex({0x44, 0x55, 0x66}));
    EXPECT_EQ(hex(talk(*board, {0xA0, 0x00})), hex({0xB0}));
}

TEST(Smbus, BlockWriteWithPec) {
    auto board = makeBoard();
    const uint8_t p = crc8({0xA0, 0x87, 0x02, 0x01, 0x02});
    EXPECT_EQ(hex(talk(*board, {0xA0, 0x05, 0x05, 0x00, 0xA0, 0x87, 0x02, 0x01, 0x02, p})),
              hex({0xB0}));
    EXPECT_EQ(hex(board->smbusBlock(0xA0, 0x87)), hex({0x01, 0x02}));
}

TEST(Smbus, GroupCommandActsAtFinalStop) {
    auto board = makeBoard("smbus = 0xA0, 0xA2, 0xA4");
    Bytes first{0xA0, 0x09, 0x03, 0x00, 0xA0, 0x10, 0x01, 0x00};
    Bytes second{0xA0, 0x09, 0x03, 0x00, 0xA2, 0x10, 0x02, 0x00};
    Bytes last{0xA0, 0x05, 0x03, 0x00, 0xA4, 0x10, 0x03, 0x00};
    EXPECT_EQ(hex(talk(*board, concat({first, second}))), hex({0xB0, 0xB0}));
    EXPECT_EQ(board->smbusWord(0xA0, 0x10), 0x1010);
    EXPECT_EQ(hex(talk(*board, last)), hex({0xB0}));
    EXPECT_EQ(board->smbusWord(0xA0, 0x10), 0x0001);
    EXPECT_EQ(board->smbusWord(0xA2, 0x10), 0x0002);
    EXPECT_EQ(board->smbusWord(0xA4, 0x10), 0x0003);
}

TEST(Smbus, GroupCommandWithPec) {
    auto board = makeBoard("smbus = 0xA0, 0xA2");
    const uint8_t p0 = crc8({0xA0, 0x11, 0x22, 0x33});
    const uint8_t p1 = crc8({0xA2, 0x11, 0x44, 0x55});
    Bytes frames{0xA0, 0x09, 0x04, 0x00, 0xA0, 0x11, 0x22, 0x33, p0,
                 0xA0, 0x05, 0x04, 0x00, 0xA2, 0x11, 0x44, 0x55, p1};
    EXPECT_EQ(hex(talk(*board, frames)), hex({0xB0, 0xB0}));
    EXPECT_EQ(board->smbusWord(0xA0, 0x11), 0x3322);
    EXPECT_EQ(board->smbusWord(0xA2, 0x11), 0x5544);
}

TEST(Smbus, GroupMemberMissingFailsItsFrame) {
    auto board = makeBoard("smbus = 0xA0");
    Bytes frames{0xA0, 0x09, 0x03, 0x00, 0xA6, 0x10, 0x01, 0x00,
                 0xA0, 0x05, 0x03, 0x00, 0xA0, 0x10, 0x02, 0x00};
    EXPECT_EQ(hex(talk(*board, frames)), hex({0x00, 0xFA, 0xB0}));
}

} // namespace
