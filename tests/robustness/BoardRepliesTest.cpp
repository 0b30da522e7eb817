// Replies the board should never give: too long, too short, garbage, NULs,
// and more bytes than the reply buffer holds. Each transaction fails with
// its outputs untouched or takes only the bytes it asked for; none crashes,
// and the next transaction on a sane board works. Bytes past the reply
// buffer stay in the transport (no transaction purges it) until the
// capability probe drains them.
#include "Support.h"

#include "rerodada.h"

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

namespace robustness {
namespace {

using Bytes = std::vector<uint8_t>;

struct ReplyCase {
    const char* name;
    Bytes reply;
};

const ReplyCase kReplies[] = {
    {"Overlong", {0x12, 0xB0, 0x55, 0xB0, 0x12}},
    {"Short", {0x12}},
    {"Garbage", {0x37, 0x99}},
    {"Nuls", {0x00, 0x00}},
    {"BufferOfNuls", Bytes(1999, 0x00)},
    {"Empty", {}},
};

void PrintTo(const ReplyCase& c, std::ostream* os) {
    *os << c.name;
}

class BoardReplies : public testing::TestWithParam<ReplyCase> {
  protected:
    void SetUp() override {
        ASSERT_TRUE(reload());
        ASSERT_TRUE(BrimBoardConnect());
    }
    void TearDown() override {
        board()->clearScriptedReplies();
        BrimBoardDisconnect();
    }

    // Every later reply is the case's reply.
    void scripted() { board()->setScriptedReplies(std::vector<Bytes>(16, GetParam().reply)); }

    static void expectSaneBoardAnswers() {
        board()->clearScriptedReplies();
        uint8_t value = 0;
        EXPECT_EQ(BrimSMBusReadByte_native(0x2A, 0x00, &value), 1u);
        EXPECT_EQ(value, 0x12);
        uint8_t portable = 0;
        EXPECT_EQ(BrimSMBusReadByte_portable(0x2A, 0x00, &portable), 1u);
        EXPECT_EQ(portable, 0x12);
    }
};

TEST_P(BoardReplies, ReadByteNative) {
    scripted();
    uint8_t value = 0xEE;
    if (BrimSMBusReadByte_native(0x2A, 0x00, &value) == 0) {
        EXPECT_EQ(value, 0xEE);
    } else {
        // Only a reply that begins as a byte read's does: data, completion.
        ASSERT_GE(GetParam().reply.size(), 2u);
        EXPECT_EQ(value, GetParam().reply[0]);
        EXPECT_EQ(GetParam().reply[1], 0xB0);
    }
    expectSaneBoardAnswers();
}

TEST_P(BoardReplies, ReadBytePortable) {
    scripted();
    uint8_t value = 0xEE;
    if (BrimSMBusReadByte_portable(0x2A, 0x00, &value) == 0) {
        EXPECT_EQ(value, 0xEE);
    }
    expectSaneBoardAnswers();
}

TEST_P(BoardReplies, ReadWord) {
    scripted();
    uint16_t value = 0xEEEE;
    if (BrimSMBusReadWord_native(0xA0, 0x01, &value) == 0) {
        EXPECT_EQ(value, 0xEEEE);
    }
    expectSaneBoardAnswers();
}

TEST_P(BoardReplies, ReadBlockIntoASmallBuffer) {
    scripted();
    uint8_t count = 0xEE;
    uint8_t buffer[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    uint8_t guard[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    BrimSMBusReadBlock_native(0xA0, 0x81, &count, buffer, 4);
    BrimSMBusReadBlockPEC_portable(0xA0, 0x81, &count, buffer, 4);
    EXPECT_EQ(Bytes(guard, guard + 4), Bytes(4, 0xEE));
    expectSaneBoardAnswers();
}

TEST_P(BoardReplies, WriteThenRead) {
    scripted();
    const uint8_t out[1] = {0x00};
    uint8_t in[2] = {0xEE, 0xEE};
    uint32_t received = 0;
    BrimI2CWriteAndReadBytes_native(0x2A, 1, 2, out, in, &received);
    EXPECT_LE(received, 2u);
    expectSaneBoardAnswers();
}

TEST_P(BoardReplies, SpiAndFirmwareVersionAndProbe) {
    scripted();
    const uint8_t mosi[3] = {1, 2, 3};
    uint8_t miso[3] = {0, 0, 0};
    BrimSpiTransfer_native(3, mosi, miso);
    BrimSpiTransfer_portable(3, mosi, miso);
    BrimBoardConfirmFirmwareVersion(1, 5, 47);
    BrimSupportsNativeSMBusCommands();
    expectSaneBoardAnswers();
}

INSTANTIATE_TEST_SUITE_P(Shapes, BoardReplies, testing::ValuesIn(kReplies),
                         [](const testing::TestParamInfo<ReplyCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(BoardRepliesPastTheBuffer, FailAndAreDrainedByTheCapabilityProbe) {
    ASSERT_TRUE(reload());
    ASSERT_TRUE(BrimBoardConnect());
    for (const Bytes& reply : {Bytes(4000, 0x00), Bytes(4000, 0xB0)}) {
        board()->setScriptedReplies({reply});
        uint8_t value = 0xEE;
        EXPECT_EQ(BrimSMBusReadByte_native(0x2A, 0x00, &value), 0u);
        EXPECT_EQ(value, 0xEE);
        board()->clearScriptedReplies();
        int probes = 0;
        while (probes < 3 && BrimSMBusReadByte_native(0x2A, 0x00, &value) == 0) {
            BrimSupportsNativeSMBusCommands();
            ++probes;
        }
        EXPECT_EQ(value, 0x12);
        EXPECT_EQ(board()->available(), 0u);
    }
    BrimBoardDisconnect();
}

} // namespace
} // namespace robustness
