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

class ByteWidthTest : public DeviceAccessTest, public testing::WithParamInterface<int> {};

TEST_P(ByteWidthTest, ReadsAByteAndCachesIt) {
    const uint8_t width = static_cast<uint8_t>(GetParam());
    board().setChipRegister(kAdim, 0x5A);
    cache()->setRegister(kAdim, 0x00);
    CommEventRecorder events;

    EXPECT_EQ(readRegister(kAdim, width), 0x5Au);
    EXPECT_EQ(events.events(), (std::vector<CommEvent>{{0, kAdim, 8, 0x5A, 1}}));
    EXPECT_EQ(cache()->getRegister(kAdim), 0x5A);
    EXPECT_EQ(board().lastHostWrite(), (Bytes{0xA0, 0x05, 0x01, 0x01, 0x2A, kAdim}));
}

TEST_P(ByteWidthTest, WritesTheLowByteAndLeavesTheCache) {
    const uint8_t width = static_cast<uint8_t>(GetParam());
    cache()->setRegister(kAdim, 0x11);
    CommEventRecorder events;

    EXPECT_NE(writeRegister(kAdim, width, 0x1C5), 0);
    EXPECT_EQ(board().chipRegister(kAdim), 0xC5);
    EXPECT_EQ(events.events(), (std::vector<CommEvent>{{1, kAdim, 8, 0xC5, 1}}));
    EXPECT_EQ(cache()->getRegister(kAdim), 0x11);
    EXPECT_EQ(board().lastHostWrite(), (Bytes{0xA0, 0x05, 0x02, 0x00, 0x2A, kAdim, 0xC5}));
}

INSTANTIATE_TEST_SUITE_P(Widths, ByteWidthTest, testing::Values(0, 1, 8));

class WordWidthTest : public DeviceAccessTest, public testing::WithParamInterface<int> {};

TEST_P(WordWidthTest, ReadsAWordAndCachesItsLowByte) {
    const uint8_t width = static_cast<uint8_t>(GetParam());
    board().setChipRegister(kTon1High, 0x34);
    board().setChipRegister(kTon1Middle, 0x12);
    cache()->setRegister(kTon1High, 0x00);
    cache()->setRegister(kTon1Middle, 0x77);
    CommEventRecorder events;

    EXPECT_EQ(readRegister(kTon1High, width), 0x1234u);
    EXPECT_EQ(events.events(), (std::vector<CommEvent>{{0, kTon1High, 16, 0x1234, 1}}));
    EXPECT_EQ(cache()->getRegister(kTon1High), 0x34);
    EXPECT_EQ(cache()->getRegister(kTon1Middle), 0x77);
    EXPECT_EQ(board().lastHostWrite(), (Bytes{0xA0, 0x05, 0x01, 0x02, 0x2A, kTon1High}));
}

TEST_P(WordWidthTest, WritesTheLowWordLowByteFirst) {
    const uint8_t width = static_cast<uint8_t>(GetParam());
    CommEventRecorder events;

    EXPECT_NE(writeRegister(kTon1High, width, 0xABEEF), 0);
    EXPECT_EQ(board().chipRegister(kTon1High), 0xEF);
    EXPECT_EQ(board().chipRegister(kTon1Middle), 0xBE);
    EXPECT_EQ(events.events(), (std::vector<CommEvent>{{1, kTon1High, 16, 0xBEEF, 1}}));
}

INSTANTIATE_TEST_SUITE_P(Widths, WordWidthTest, testing::Values(9, 16));

class WideWidthTest : public DeviceAccessTest, public testing::WithParamInterface<int> {};

TEST_P(WideWidthTest, ReadIsRefusedWithoutTraffic) {
    const uint8_t width = static_cast<uint8_t>(GetParam());
    cache()->setRegister(kAdim, 0x42);
    CommEventRecorder events;

    EXPECT_EQ(readRegister(kAdim, width), 0u);
    EXPECT_EQ(events.events(), (std::vector<CommEvent>{{0, kAdim, width, 0, 0}}));
    EXPECT_EQ(cache()->getRegister(kAdim), 0x42);
    EXPECT_TRUE(hostBytes().empty());
}

TEST_P(WideWidthTest, WriteIsRefusedWithoutTraffic) {
    const uint8_t width = static_cast<uint8_t>(GetParam());
    board().setChipRegister(kAdim, 0x33);
    CommEventRecorder events;

    EXPECT_EQ(writeRegister(kAdim, width, 0x12345678), 0);
    EXPECT_EQ(events.events(), (std::vector<CommEvent>{{1, kAdim, width, 0x12345678, 0}}));
    EXPECT_EQ(board().chipRegister(kAdim), 0x33);
    EXPECT_TRUE(hostBytes().empty());
}

INSTANTIATE_TEST_SUITE_P(Widths, WideWidthTest, testing::Values(17, 24, 32));

TEST_F(DeviceAccessTest, PowerOnDeviceIdentity) {
    EXPECT_EQ(readRegister(0x00, 8), 0x12u);
    EXPECT_EQ(cache()->getRegister(0x00), 0x12);
}

TEST_F(DeviceAccessTest, FailedReadReportsZeroAndLeavesTheCache) {
    AppManager::setDeviceAddress(kNoDevice);
    EXPECT_EQ(SystemManager::instance()->address(), kNoDevice);
    cache()->setRegister(kAdim, 0x99);
    CommEventRecorder events;

    EXPECT_EQ(readRegister(kAdim, 8), 0u);
    EXPECT_EQ(readRegister(kAdim, 16), 0u);
    EXPECT_EQ(events.events(), (std::vector<CommEvent>{{0, kAdim, 8, 0, 0}, {0, kAdim, 16, 0, 0}}));
    EXPECT_EQ(cache()->getRegister(kAdim), 0x99);
    EXPECT_EQ(board().lastHostWrite(), (Bytes{0xA0, 0x05, 0x01, 0x02, kNoDevice, kAdim}));
}

TEST_F(DeviceAccessTest, FailedWriteReportsTheValueAndFailure) {
    AppManager::setDeviceAddress(kNoDevice);
    CommEventRecorder events;

    EXPECT_EQ(writeRegister(kAdim, 8, 0x55), 0);
    EXPECT_EQ(writeRegister(kAdim, 16, 0x1234), 0);
    EXPECT_EQ(events.events(),
              (std::vector<CommEvent>{{1, kAdim, 8, 0x55, 0}, {1, kAdim, 16, 0x1234, 0}}));
}

TEST_F(DeviceAccessTest, CacheSlotHoldsTheLowByte) {
    cache()->setRegister(0xFF, 0x1AB);
    EXPECT_EQ(cache()->getRegister(0xFF), 0xAB);
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

TEST_F(DeviceAccessTest, GpioWithoutABoard) {
    board().setPin(5, true);
    boardDisconnect();
    clearTraffic();
    CommEventRecorder events;

    EXPECT_EQ(writeGpio(5, 0), 0);
    EXPECT_EQ(readGpio(5), 0);
    EXPECT_EQ(events.events(), (std::vector<CommEvent>{{10, 5, 8, 0, 0}, {11, 5, 8, 0, 0}}));
    EXPECT_TRUE(board().pin(5));
    EXPECT_TRUE(hostBytes().empty());
}

TEST_F(DeviceAccessTest, RawTransfersNeedAConnectedBoard) {
    boardDisconnect();
    EXPECT_FALSE(boardConnected());
    clearTraffic();
    const uint8_t bytes[2] = {0xA0, 0x00};
    uint8_t rx[2] = {};
    EXPECT_EQ(commStringWrite(bytes, 2, 1), 0);
    EXPECT_EQ(spiTransfer(2, bytes, rx), 0);
    EXPECT_EQ(i2cStart(), 0);
    EXPECT_EQ(spiPulse8(), 0);
    EXPECT_TRUE(hostBytes().empty());
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

TEST_F(DeviceAccessTest, ReconnectAfterDisconnect) {
    boardDisconnect();
    EXPECT_FALSE(boardConnected());
    EXPECT_TRUE(boardConnect());
    EXPECT_TRUE(boardConnected());
    EXPECT_EQ(readRegister(0x00, 8), 0x12u);
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

TEST_F(DeviceAccessTest, ScanProbesAgainWhenTheSecondQuickIsMissed) {
    podsim::Fault missSecondQuick;
    missSecondQuick.kind = podsim::FaultKind::WrongCompletion;
    // Addresses 0x02 to 0x28 come first, then the first quick of 0x2A.
    missSecondQuick.after = 0x28 / 2 + 1;
    missSecondQuick.times = 1;
    board().setFault(missSecondQuick);

    EXPECT_EQ(scanResult(), (Bytes{0x2A, 0xA0, kScanEndMark}));
    EXPECT_EQ(board().hostWrites(), 127u + 2u + 2u);
}

class EmptyBusTest : public DeviceAccessTest {
    std::string boardConfig() const override { return "rar4120e = off\nsmbus = off\n"; }
};

TEST_F(EmptyBusTest, ScanFindsNothing) {
    EXPECT_EQ(scanResult(), Bytes{kScanEndMark});
}

class CrowdedBusTest : public DeviceAccessTest {
    std::string boardConfig() const override {
        return "rar4120e = 0x50\nsmbus = 0xFE, 0x02\ndevice = 0x90\n";
    }
};

TEST_F(CrowdedBusTest, ScanFindsEveryDeviceInAscendingOrder) {
    EXPECT_EQ(scanResult(), (Bytes{0x02, 0x50, 0x90, 0xFE, kScanEndMark}));
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
