// Replies the board should never give: each transaction fails with its outputs
// untouched or takes only what it asked for, and the next one works.
#include "Support.h"

#include "rerodada.h"

#include <functional>

namespace robustness {
namespace {

using Bytes = std::vector<uint8_t>;

const std::pair<const char*, Bytes> kReplies[] = {
    {"Overlong", {0x12, 0xB0, 0x55, 0xB0, 0x12}},
    {"Short", {0x12}},
    {"Garbage", {0x37, 0x99}},
    {"Nuls", {0x00, 0x00}},
    {"BufferOfNuls", Bytes(1999, 0x00)},
    {"Empty", {}},
};

class BoardReplies : public testing::TestWithParam<size_t> {};

// Each transaction meets the case's reply to every write, then a sane board.
TEST_P(BoardReplies, EveryTransactionFailsCleanly) {
    const Bytes& reply = kReplies[GetParam()].second;
    uint8_t byte = 0xEE, count = 0xEE;
    uint16_t word = 0xEEEE;
    uint8_t buffer[4];
    uint32_t received = 0;
    const uint8_t out[3] = {1, 2, 3};
    const std::function<void()> transactions[] = {
        [&] {
            // Only a reply that begins as a byte read's (data, completion) succeeds.
            if (BrimSMBusReadByte_native(0x2A, 0x00, &byte) == 0) {
                EXPECT_EQ(byte, 0xEE);
            } else {
                ASSERT_GE(reply.size(), 2u);
                EXPECT_EQ(byte, reply[0]);
                EXPECT_EQ(reply[1], 0xB0);
            }
        },
        [&] {
            // A failed read leaves its output alone.
            byte = 0xEE;
            EXPECT_TRUE(BrimSMBusReadByte_portable(0x2A, 0x00, &byte) == 1 || byte == 0xEE);
            EXPECT_TRUE(BrimSMBusReadWord_native(0xA0, 0x01, &word) == 1 || word == 0xEEEE);
        },
        [&] {
            BrimSMBusReadBlock_native(0xA0, 0x81, &count, buffer, 4);
            BrimSMBusReadBlockPEC_portable(0xA0, 0x81, &count, buffer, 4);
            BrimI2CWriteAndReadBytes_native(0x2A, 1, 2, out, buffer, &received);
            EXPECT_LE(received, 2u);
            BrimSpiTransfer_native(3, out, buffer);
            BrimSpiTransfer_portable(3, out, buffer);
            BrimBoardConfirmFirmwareVersion(1, 5, 47);
            BrimSupportsNativeSMBusCommands();
        },
    };
    ASSERT_TRUE(reload());
    ASSERT_TRUE(BrimBoardConnect());
    for (const auto& transaction : transactions) {
        board()->setScriptedReplies(std::vector<Bytes>(32, reply));
        transaction();
        board()->clearScriptedReplies();
        for (auto read : {BrimSMBusReadByte_native, BrimSMBusReadByte_portable}) {
            uint8_t value = 0;
            EXPECT_EQ(read(0x2A, 0x00, &value), 1u);
            EXPECT_EQ(value, 0x12);
        }
    }
    BrimBoardDisconnect();
}

INSTANTIATE_TEST_SUITE_P(Shapes, BoardReplies, testing::Range<size_t>(0, std::size(kReplies)),
                         [](const testing::TestParamInfo<size_t>& info) {
                             return std::string(kReplies[info.param].first);
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
        // The rest fails the next transaction too; one probe drains what is
        // left after that, and then reads work.
        EXPECT_EQ(BrimSMBusReadByte_native(0x2A, 0x00, &value), 0u);
        BrimSupportsNativeSMBusCommands();
        EXPECT_EQ(BrimSMBusReadByte_native(0x2A, 0x00, &value), 1u);
        EXPECT_EQ(value, 0x12);
        EXPECT_EQ(board()->available(), 0u);
    }
    BrimBoardDisconnect();
}

} // namespace
} // namespace robustness
