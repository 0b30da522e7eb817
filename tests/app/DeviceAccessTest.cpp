#include "AppManager.h"
#include "CommEventRecorder.h"
#include "DeviceAccess.h"
#include "SimulatedBoard.h"
#include "SystemManager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint8_t kAdim = 0x04;
constexpr uint8_t kTon1High = 0x05;
constexpr uint8_t kTon1Middle = 0x06;
constexpr uint8_t kNoDevice = 0x70;

SystemManager* cache() {
    return SystemManager::instance();
}

class DeviceAccessTest : public SimulatedBoardTest {};

// A width of 8 or less moves a byte, 9 to 16 a word, anything wider nothing.
class WidthTest : public DeviceAccessTest, public testing::WithParamInterface<int> {};

TEST_P(WidthTest, ReadsAndWritesTheRegistersTheWidthCovers) {
    const uint8_t width = static_cast<uint8_t>(GetParam());
    const uint8_t moved = width <= 8 ? 8 : width <= 16 ? 16 : 0;
    board().setChipRegister(kTon1High, 0x34);
    board().setChipRegister(kTon1Middle, 0x12);
    cache()->setRegister(kTon1High, 0x00);
    cache()->setRegister(kTon1Middle, 0x77);
    CommEventRecorder events;

    const uint32_t read = moved == 8 ? 0x34 : moved == 16 ? 0x1234 : 0;
    EXPECT_EQ(readRegister(kTon1High, width), read);
    // Only the low byte goes into the cache, and a write leaves it alone.
    EXPECT_EQ(cache()->getRegister(kTon1High), moved ? 0x34 : 0x00);
    EXPECT_EQ(cache()->getRegister(kTon1Middle), 0x77);
    if (moved) {
        EXPECT_EQ(board().lastHostWrite(),
                  (Bytes{0xA0, 0x05, 0x01, static_cast<uint8_t>(moved / 8), 0x2A, kTon1High}));
    }

    const uint32_t written = moved == 8 ? 0xEF : moved == 16 ? 0xBEEF : 0xABEEF;
    EXPECT_EQ(writeRegister(kTon1High, width, 0xABEEF) != 0, moved != 0);
    EXPECT_EQ(board().chipRegister(kTon1High), moved ? 0xEF : 0x34);
    EXPECT_EQ(board().chipRegister(kTon1Middle), moved == 16 ? 0xBE : 0x12);
    EXPECT_EQ(cache()->getRegister(kTon1High), moved ? 0x34 : 0x00);
    const uint8_t eventWidth = moved ? moved : width;
    EXPECT_EQ(events.events(),
              (std::vector<CommEvent>{{0, kTon1High, eventWidth, read, moved != 0},
                                      {1, kTon1High, eventWidth, written, moved != 0}}));
    if (!moved) {
        EXPECT_TRUE(hostBytes().empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Widths, WidthTest, testing::Values(0, 1, 8, 9, 16, 17, 24, 32));

TEST_F(DeviceAccessTest, FailedTransactionsReportZeroAndLeaveTheCache) {
    AppManager::setDeviceAddress(kNoDevice);
    EXPECT_EQ(SystemManager::instance()->address(), kNoDevice);
    cache()->setRegister(kAdim, 0x99);
    CommEventRecorder events;

    EXPECT_EQ(readRegister(kAdim, 8), 0u);
    EXPECT_EQ(readRegister(kAdim, 16), 0u);
    EXPECT_EQ(board().lastHostWrite(), (Bytes{0xA0, 0x05, 0x01, 0x02, kNoDevice, kAdim}));
    EXPECT_EQ(writeRegister(kAdim, 8, 0x55), 0);
    EXPECT_EQ(writeRegister(kAdim, 16, 0x1234), 0);
    EXPECT_EQ(events.events(), (std::vector<CommEvent>{{0, kAdim, 8, 0, 0},
                                                       {0, kAdim, 16, 0, 0},
                                                       {1, kAdim, 8, 0x55, 0},
                                                       {1, kAdim, 16, 0x1234, 0}}));
    EXPECT_EQ(cache()->getRegister(kAdim), 0x99);
}

TEST_F(DeviceAccessTest, GpioWithTheBoard) {
    CommEventRecorder events;
    EXPECT_EQ(writeGpio(3, 1), 1);
    EXPECT_TRUE(board().pin(3));
    EXPECT_EQ(board().lastHostWrite(), (Bytes{0xF3, 0x01}));
    EXPECT_EQ(readGpio(3), 1);
    EXPECT_EQ(board().lastHostWrite(), (Bytes{0xE3, 0x00}));
    EXPECT_EQ(writeGpio(3, 0), 1);
    EXPECT_FALSE(board().pin(3));
    EXPECT_EQ(readGpio(3), 0);
    EXPECT_EQ(events.events(),
              (std::vector<CommEvent>{
                  {10, 3, 8, 1, 1}, {11, 3, 8, 1, 1}, {10, 3, 8, 0, 1}, {11, 3, 8, 0, 1}}));
}

TEST_F(DeviceAccessTest, WithoutABoardNothingIsSent) {
    board().setPin(5, true);
    boardDisconnect();
    EXPECT_FALSE(boardConnected());
    clearTraffic();
    CommEventRecorder events;

    EXPECT_EQ(writeGpio(5, 0), 0);
    EXPECT_EQ(readGpio(5), 0);
    EXPECT_EQ(events.events(), (std::vector<CommEvent>{{10, 5, 8, 0, 0}, {11, 5, 8, 0, 0}}));
    EXPECT_TRUE(board().pin(5));
    const uint8_t bytes[2] = {0xA0, 0x00};
    uint8_t rx[2] = {};
    EXPECT_EQ(commStringWrite(bytes, 2, 1), 0);
    EXPECT_EQ(spiTransfer(2, bytes, rx), 0);
    EXPECT_EQ(i2cStart(), 0);
    EXPECT_EQ(spiPulse8(), 0);
    EXPECT_TRUE(hostBytes().empty());

    EXPECT_TRUE(boardConnect());
    EXPECT_EQ(readRegister(0x00, 8), 0x12u);
}

TEST_F(DeviceAccessTest, ConnectLeavesLatencyAtOneAndASecondConnectDoesNothing) {
    EXPECT_TRUE(boardConnected());
    EXPECT_EQ(board().latencyTimerMs(), 1);
    EXPECT_TRUE(boardBanner().startsWith(QStringLiteral("Kelvo PODLINK")));

    board().setLatencyTimerMs(7);
    clearTraffic();
    EXPECT_TRUE(boardConnect());
    EXPECT_TRUE(hostBytes().empty());
    EXPECT_EQ(board().latencyTimerMs(), 7);
}

TEST_F(DeviceAccessTest, SpiConfigurationFromModeBits) {
    EXPECT_EQ(spiSetConfig(5), 1);
    EXPECT_EQ(board().spiControl() & 0x07, 0x01); // CPHA 1, CPOL 0, MSB first
    EXPECT_EQ(spiSetConfig(2), 1);
    EXPECT_EQ(board().spiControl() & 0x07, 0x06); // CPHA 0, CPOL 1, LSB first
    EXPECT_EQ(board().latencyTimerMs(), 1);
}

std::vector<uint8_t> scanResult() {
    uint8_t out[kScanBufferSize];
    std::fill(std::begin(out), std::end(out), 0xEE);
    scanAddresses(out);
    const auto end = std::find(std::begin(out), std::end(out), kScanEndMark);
    return std::vector<uint8_t>(std::begin(out), end == std::end(out) ? end : end + 1);
}

TEST_F(DeviceAccessTest, ScanFindsTheSimulatedDevicesInOrder) {
    board().setLatencyTimerMs(16);
    EXPECT_EQ(scanResult(), (Bytes{0x2A, 0xA0, kScanEndMark}));
    // One quick command per address, a second for each device that answered.
    EXPECT_EQ(board().hostWrites(), 127u + 2u);
    EXPECT_EQ(board().latencyTimerMs(), 1);
}

class NoBoardTest : public testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(simboard::reload("usb.devices = 0\n")); }
    void TearDown() override { simboard::reload(); }
};

TEST_F(NoBoardTest, ConnectFailsAndDeviceAccessFails) {
    EXPECT_FALSE(boardConnect());
    EXPECT_FALSE(boardConnected());
    CommEventRecorder events;
    EXPECT_EQ(readRegister(kAdim, 8), 0u);
    EXPECT_EQ(writeRegister(kAdim, 8, 1), 0);
    EXPECT_EQ(events.events(), (std::vector<CommEvent>{{0, kAdim, 8, 0, 0}, {1, kAdim, 8, 1, 0}}));
}

} // namespace
