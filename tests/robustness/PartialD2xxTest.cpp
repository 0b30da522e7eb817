// A D2XX library that lists and opens a device but lacks every function to
// set it up, read or write: no board is found, every operation fails
// cleanly, and nothing crashes. Each case runs in a fresh process, since the
// library loads the D2XX library once.
#include "FreshProcess.h"
#include "Support.h"

#include "DeviceAccess.h"
#include "processCommand.h"
#include "rerodada.h"

#include <gtest/gtest.h>

namespace robustness {
namespace {

std::string testName() {
    const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
    return std::string(info->test_suite_name()) + "." + info->name();
}

const std::vector<std::string> kPartialLibrary = {"RERODADA_D2XX_LIBRARY=" PARTIAL_D2XX_LIBRARY,
                                                  "RERODADA_SERIAL_PORTS=", "RERODADA_DEBUG="};

TEST(PartialD2xx, NoBoardIsFoundAndOperationsFail) {
    const int status = freshprocess::run(testName(), kPartialLibrary, [] {
        const bool connected = BrimBoardConnect() || BrimBoardConnectAnyUSB();
        uint8_t value = 0xEE;
        const uint32_t read = BrimSMBusReadByte(0x2A, 0x00, &value);
        const uint8_t query[2] = {0xC2, 0x01};
        const bool wrote = ReroDadaStringWrite(query, 2, 4);
        EXPECT_FALSE(connected);
        EXPECT_EQ(read, 0u);
        EXPECT_EQ(value, 0xEE);
        EXPECT_FALSE(wrote);
        EXPECT_FALSE(BrimBoardConnected());
        return !connected && read == 0 && !wrote && !testing::Test::HasFailure();
    });
    EXPECT_EQ(status, 0);
}

TEST(PartialD2xx, TheApplicationCoreAndInterpreterCarryOn) {
    const int status = freshprocess::run(testName(), kPartialLibrary, [] {
        const bool connected = boardConnect();
        const std::vector<Reply> replies = run(QStringLiteral("readbyte 2A 00"));
        EXPECT_FALSE(connected);
        EXPECT_EQ(replies.size(), 1u);
        const bool failed = replies.size() == 1 && !replies[0].success;
        EXPECT_TRUE(failed);
        return !connected && failed;
    });
    EXPECT_EQ(status, 0);
}

} // namespace
} // namespace robustness
