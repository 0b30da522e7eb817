// The kit as the program uses it: connect over USB to the simulated board,
// learn its native commands, read and write the LED driver's registers.
#include "BusBoard.h"

#include "rerodada.h"

#include <gtest/gtest.h>

namespace bus {
namespace {

struct ProbeCase {
    const char* config;
    unsigned bitmask;
    bool native;
};

TEST(EndToEnd, ProbeReportsTheConfiguredNativeCommands) {
    const ProbeCase cases[] = {
        {kAllNative, 0x17FF, true},
        {kWriteReadOnly, 0x0023, true},
        {kFlagOnly, 0x0003, true},
        // Firmware without the query is portable only.
        {kNoNative, 0x0003, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.config);
        UseBoard(c.config);
        EXPECT_EQ(ProbedBitmask(), c.bitmask);
        EXPECT_EQ(BrimSupportsNativeSMBusCommands(), c.native ? 1 : 0);
    }
}

TEST(EndToEnd, ReadsAndWritesTheLedDriverInBothForms) {
    for (const char* config : {kAllNative, kNoNative}) {
        SCOPED_TRACE(config);
        UseBoard(config);
        uint8_t v = 0;
        ASSERT_EQ(BrimSMBusReadByte(0x2A, 0x00, &v), 1u);
        EXPECT_EQ(v, 0x12);

        ASSERT_EQ(BrimSMBusWriteByte(0x2A, 0x04, 0x5A), 1u);
        EXPECT_EQ(Sim().chipRegister(0x04), 0x5A);
        v = 0;
        ASSERT_EQ(BrimSMBusReadByte(0x2A, 0x04, &v), 1u);
        EXPECT_EQ(v, 0x5A);
    }
}

TEST(EndToEnd, ClockStretchOnOldFirmwareSendsOnlyTheVersionQuery) {
    UseBoard(std::string(kAllNative) + "firmware = 1.5.43\n");
    EXPECT_EQ(BrimI2CClockStretchDisable(1), 0u);
    EXPECT_EQ(Sent(), (Bytes{0xC2, 0x01}));
    EXPECT_NE(Listing().find("BrimI2CClockStretchDisable not supported; requires firmware "
                             "01.05.44."),
              std::string::npos);
}

} // namespace
} // namespace bus
