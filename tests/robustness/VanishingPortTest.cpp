// The board vanishes mid-transaction: it fails, the device is released, a reconnect works.
#include "Support.h"

#include "rerodada.h"

#include <thread>

namespace robustness {
namespace {

using VanishingPort = Connected;

TEST_F(VanishingPort, ReadWaitingForItsReplyFailsAndReconnectWorks) {
    // The request has arrived and its reply is held back far past the read's
    // time-out when the board goes.
    board()->setLatencyUs(60000000);
    board()->clearTraffic();
    std::thread unplugger([] {
        ASSERT_TRUE(standin::eventually([] { return board()->hostWrites() > 0; }));
        board()->unplug();
    });
    uint8_t value = 0xEE;
    EXPECT_EQ(BrimSMBusReadByte_native(0x2A, 0x00, &value), 0u);
    unplugger.join();
    EXPECT_EQ(value, 0xEE);
    EXPECT_FALSE(boardConnected());
    board()->replug();
    board()->setLatencyUs(0);
    ASSERT_TRUE(boardConnect());
    EXPECT_EQ(BrimSMBusReadByte_portable(0x2A, 0x00, &value), 1u);
    EXPECT_EQ(value, 0x12);
}

TEST_F(VanishingPort, InterpreterReportsTheFailureAndKeepsAnswering) {
    board()->unplugAfter(0);
    for (const char* line : {"readbyte 2A 00", "readword 2A 00", "writebyte 2A 04 08",
                             "spitransfer 2 01 02", "sendraw 2 C2 01", "wrbytes 2A 1 1 00"}) {
        const std::vector<Reply> replies = run(QString::fromLatin1(line));
        ASSERT_EQ(replies.size(), 1u) << line;
        EXPECT_FALSE(replies[0].success) << line;
    }
    EXPECT_FALSE(boardConnected());
}

TEST_F(VanishingPort, BoardThatComesBackOnItsOwnIsUsedAfterAConnect) {
    ASSERT_TRUE(reload("unplug_after = 3\nreplug_after_ms = 100"));
    ASSERT_TRUE(boardConnect());
    uint8_t value = 0;
    for (int i = 0; i < 10 && boardConnected(); ++i)
        BrimSMBusReadByte_native(0x2A, 0x00, &value);
    EXPECT_FALSE(boardConnected());
    ASSERT_TRUE(standin::eventually([] { return !board()->unplugged(); }));
    ASSERT_TRUE(boardConnect());
    EXPECT_EQ(BrimSMBusReadByte_native(0x2A, 0x00, &value), 1u);
    EXPECT_EQ(value, 0x12);
}

} // namespace
} // namespace robustness
