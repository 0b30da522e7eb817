// A D2XX library that only lists, opens and closes: everything fails cleanly.
// A fresh process, since the library loads its D2XX library once.
#include "FreshProcess.h"
#include "Support.h"

#include "rerodada.h"

namespace robustness {
namespace {

TEST(PartialD2xx, NoBoardIsFoundAndOperationsFail) {
    const std::vector<std::string> env = {"RERODADA_D2XX_LIBRARY=" PARTIAL_D2XX_LIBRARY,
                                          "RERODADA_SERIAL_PORTS=", "RERODADA_DEBUG="};
    const int status = freshprocess::run("PartialD2xx.NoBoardIsFoundAndOperationsFail", env, [] {
        EXPECT_FALSE(BrimBoardConnect() || BrimBoardConnectAnyUSB());
        uint8_t value = 0xEE;
        EXPECT_EQ(BrimSMBusReadByte(0x2A, 0x00, &value), 0u);
        EXPECT_EQ(value, 0xEE);
        const uint8_t query[2] = {0xC2, 0x01};
        EXPECT_FALSE(ReroDadaStringWrite(query, 2, 4));
        EXPECT_FALSE(boardConnect());
        EXPECT_FALSE(BrimBoardConnected());
        const std::vector<Reply> replies = run(QStringLiteral("readbyte 2A 00"));
        EXPECT_TRUE(replies.size() == 1 && !replies[0].success);
        return !testing::Test::HasFailure();
    });
    EXPECT_EQ(status, 0);
}

} // namespace
} // namespace robustness
