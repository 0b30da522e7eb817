// The board vanishes in the middle of a transaction: the transaction fails,
// the library notices and releases the device, the interpreter says so, and
// a connect after the board is back works.
#include "Support.h"

#include "AppManager.h"
#include "DeviceAccess.h"
#include "rerodada.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <chrono>
#include <thread>

namespace robustness {
namespace {

class VanishingPort : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(reload());
        ASSERT_TRUE(boardConnect());
        AppManager::setDeviceAddress(0x2A);
    }
    void TearDown() override { boardDisconnect(); }
};

TEST_F(VanishingPort, ReadWaitingForItsReplyFailsAndReconnectWorks) {
    // The reply is on its way when the board goes.
    board()->setLatencyUs(300000);
    std::thread unplugger([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        board()->unplug();
    });
    QElapsedTimer timer;
    timer.start();
    uint8_t value = 0xEE;
    EXPECT_EQ(BrimSMBusReadByte_native(0x2A, 0x00, &value), 0u);
    unplugger.join();
    EXPECT_EQ(value, 0xEE);
    EXPECT_LT(timer.elapsed(), 2000);
    EXPECT_TRUE(board()->unplugged());
    EXPECT_FALSE(boardConnected());

    board()->replug();
    board()->setLatencyUs(0);
    ASSERT_TRUE(boardConnect());
    EXPECT_EQ(BrimSMBusReadByte_portable(0x2A, 0x00, &value), 1u);
    EXPECT_EQ(value, 0x12);
}

TEST_F(VanishingPort, InterpreterReportsTheFailureAndKeepsAnswering) {
    board()->unplugAfter(0);
    const std::vector<Reply> first = run(QStringLiteral("readbyte 2A 00"));
    ASSERT_EQ(first.size(), 1u);
    EXPECT_FALSE(first[0].success);
    for (const char* line : {"readword 2A 00", "writebyte 2A 04 08", "spitransfer 2 01 02",
                             "sendraw 2 C2 01", "wrbytes 2A 1 1 00"}) {
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
    QElapsedTimer timer;
    timer.start();
    while (board()->unplugged() && timer.elapsed() < 2000) {
    }
    ASSERT_TRUE(boardConnect());
    EXPECT_EQ(BrimSMBusReadByte_native(0x2A, 0x00, &value), 1u);
    EXPECT_EQ(value, 0x12);
}

} // namespace
} // namespace robustness
