#include "AppManager.h"
#include "CommEventRecorder.h"
#include "DeviceAccess.h"
#include "SimulatedBoard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;
using Events = std::vector<CommEvent>;

constexpr uint8_t kAdim = 0x04, kTonHigh = 0x05, kTonMiddle = 0x06, kNoDevice = 0x70;

SystemManager* cache() {
    return SystemManager::instance();
}

class DeviceAccessTest : public SimulatedBoardTest {};

// Up to 8 bits move a byte, 9 to 16 a word; the cache takes a read's low byte.
TEST_F(DeviceAccessTest, WidthChoosesByteWordOrNothing) {
    for (int width : {0, 1, 8, 9, 16, 17, 32}) {
        SCOPED_TRACE(width);
        const uint8_t moved = width <= 8 ? 8 : width <= 16 ? 16 : 0;
        board().setChipRegister(kTonHigh, 0x34);
        board().setChipRegister(kTonMiddle, 0x12);
        cache()->setRegister(kTonHigh, 0x00);
        cache()->setRegister(kTonMiddle, 0x77);
        clearTraffic();
        CommEventRecorder events;

        const uint32_t read = moved == 8 ? 0x34 : moved == 16 ? 0x1234 : 0;
        EXPECT_EQ(readRegister(kTonHigh, uint8_t(width)), read);
        EXPECT_EQ(cache()->getRegister(kTonHigh), moved ? 0x34 : 0x00);
        EXPECT_EQ(cache()->getRegister(kTonMiddle), 0x77);
        const uint32_t written = moved == 8 ? 0xEF : moved == 16 ? 0xBEEF : 0xABEEF;
        EXPECT_EQ(writeRegister(kTonHigh, uint8_t(width), 0xABEEF) != 0, moved != 0);
        EXPECT_EQ(board().chipRegister(kTonHigh), moved ? 0xEF : 0x34);
        EXPECT_EQ(board().chipRegister(kTonMiddle), moved == 16 ? 0xBE : 0x12);
        EXPECT_EQ(cache()->getRegister(kTonHigh), moved ? 0x34 : 0x00);
        const uint8_t size = moved ? moved : uint8_t(width);
        EXPECT_EQ(events.events(), (Events{{0, kTonHigh, size, read, moved != 0},
                                           {1, kTonHigh, size, written, moved != 0}}));
        EXPECT_EQ(hostBytes().empty(), !moved);
    }
}

// A device that does not answer, then no board at all.
TEST_F(DeviceAccessTest, FailedTransactionsReportZeroAndLeaveTheCache) {
    AppManager::setDeviceAddress(kNoDevice);
    for (bool boardThere : {true, false}) {
        if (!boardThere) {
            ASSERT_TRUE(simboard::reload("usb.devices = 0\n"));
            EXPECT_FALSE(boardConnect());
        }
        cache()->setRegister(kAdim, 0x99);
        CommEventRecorder events;
        EXPECT_EQ(readRegister(kAdim, 8), 0u);
        EXPECT_EQ(readRegister(kAdim, 16), 0u);
        if (boardThere) {
            EXPECT_EQ(board().lastHostWrite(), (Bytes{0xA0, 0x05, 0x01, 0x02, kNoDevice, kAdim}));
        }
        EXPECT_EQ(writeRegister(kAdim, 8, 0x55), 0);
        EXPECT_EQ(writeRegister(kAdim, 16, 0x1234), 0);
        EXPECT_EQ(events.events(), (Events{{0, kAdim, 8, 0, 0},
                                           {0, kAdim, 16, 0, 0},
                                           {1, kAdim, 8, 0x55, 0},
                                           {1, kAdim, 16, 0x1234, 0}}));
        EXPECT_EQ(cache()->getRegister(kAdim), 0x99);
    }
}

TEST_F(DeviceAccessTest, ASecondConnectSendsNothingAndScanFindsTheDevicesInOrder) {
    EXPECT_TRUE(boardConnect());
    EXPECT_TRUE(hostBytes().empty());

    uint8_t out[kScanBufferSize];
    std::fill(out, out + kScanBufferSize, 0xEE);
    scanAddresses(out);
    EXPECT_EQ(Bytes(out, out + 3), (Bytes{0x2A, 0xA0, kScanEndMark}));
    // One quick command per address, a second for each device that answered.
    EXPECT_EQ(board().hostWrites(), 127u + 2u);
}

} // namespace
