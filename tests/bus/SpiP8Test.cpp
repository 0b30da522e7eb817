// SPI configuration and transfers, chip select, and the P8 bus.
#include "BusBoard.h"

#include "rerodada.h"

#include <gtest/gtest.h>

namespace bus {
namespace {

// The simulated SPI loopback answers MOSI XOR 0x0F.
const std::string kSpiNative = std::string(kAllNative) + "spi_xor = 0x0F\n";
const std::string kSpiPortable = std::string(kNoNative) + "spi_xor = 0x0F\n";

bool Has(const std::string& text) {
    return Listing().find(text) != std::string::npos;
}

class Spi : public testing::Test {
  protected:
    void SetUp() override {
        UseBoard(kSpiNative);
        // The probe offers native SPI, whatever earlier portable transfers learnt.
        BrimSupportsNativeSMBusCommands();
        ClearTraffic();
        ClearListing();
        BrimSpiConfigCSPin(9);
        BrimSpiConfigCSPinActiveHigh(0);
    }
};

TEST_F(Spi, ByteNeedsTheStandardPinsAndPinSettingsSendNothing) {
    BrimSpiConfigSCKPin(5);
    EXPECT_EQ(BrimSpiByte(0x55), 0);
    EXPECT_TRUE(Sent().empty());
    BrimSpiConfigSCKPin(10);
    EXPECT_EQ(BrimSpiByte(0x55), 0x5A);
    EXPECT_EQ(Sent(), (Bytes{0xAF, 0x55}));
    // Pin settings answer 1 without traffic; the active-high setting answers 0.
    ClearTraffic();
    EXPECT_EQ(BrimSpiConfigMOSIPin(12), 1u);
    EXPECT_EQ(BrimSpiConfigMISOPin(11), 1u);
    EXPECT_EQ(BrimSpiConfigCSPin(9), 1u);
    EXPECT_EQ(BrimSpiConfigCSPinActiveHigh(0), 0u);
    EXPECT_TRUE(Sent().empty());
}

TEST_F(Spi, NativeTransferOf256BytesWithDefaultChipSelect) {
    Bytes mosi(256), miso(256, 0);
    for (size_t i = 0; i < mosi.size(); ++i)
        mosi[i] = static_cast<uint8_t>(i);
    ASSERT_EQ(BrimSpiTransfer(256, mosi.data(), miso.data()), 1u);
    Bytes expected{0xA0, 0x0A, 0x00};
    expected.insert(expected.end(), mosi.begin(), mosi.end());
    EXPECT_EQ(Sent(), expected);
    EXPECT_EQ(Sim().boardBytes().size(), 257u);
    for (size_t i = 0; i < miso.size(); ++i)
        ASSERT_EQ(miso[i], mosi[i] ^ 0x0F) << i;
    EXPECT_TRUE(Has("Firmware command 0xA0 0x0A BRIM_i2cStart_SpiMosiMiso"));
}

TEST_F(Spi, APortableTransferLeavesLaterTransfersNative) {
    const uint8_t mosi[2] = {0x12, 0x34};
    uint8_t miso[2] = {};
    // A mode the portable transfer must send, and the board answers without a block size.
    ASSERT_EQ(BrimSpiConfigCpolCpha(1, 1), 1u);
    ASSERT_EQ(BrimSpiTransfer_portable(2, mosi, miso), 1u);
    EXPECT_EQ(Sim().spiControl(), 0x03);
    ClearTraffic();
    ASSERT_EQ(BrimSpiTransfer(2, mosi, miso), 1u);
    EXPECT_EQ(Sent(), (Bytes{0xA0, 0x0A, 0x02, 0x12, 0x34}));
}

TEST_F(Spi, NativeTransferWithOtherChipSelectsCarriesTheOption) {
    const struct {
        uint32_t pin;
        uint8_t activeHigh;
        uint8_t option;
    } cases[] = {{3, 1, 0x97}, {14, 0, 0x16}, {1, 0, 0x86}, {13, 1, 0x0F}, {9, 1, 0x07}};
    const uint8_t mosi[2] = {0x12, 0x34};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pin);
        BrimSpiConfigCSPin(c.pin);
        BrimSpiConfigCSPinActiveHigh(c.activeHigh);
        ClearTraffic();
        uint8_t miso[2] = {};
        ASSERT_EQ(BrimSpiTransfer(2, mosi, miso), 1u);
        EXPECT_EQ(Sent(), (Bytes{0xA0, 0x0C, c.option, 0x02, 0x12, 0x34}));
        EXPECT_EQ(Sim().spiCsOption(), c.option);
        EXPECT_EQ(miso[0], 0x1D);
        EXPECT_EQ(miso[1], 0x3B);
    }
}

TEST_F(Spi, NativeTransferOutsideItsRangeIsRefusedWithoutTraffic) {
    Bytes mosi(257, 0), miso(257, 0xEE);
    EXPECT_EQ(BrimSpiTransfer_native(257, mosi.data(), miso.data()), 0u);
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(miso[0], 0xEE);
    EXPECT_TRUE(Has("BrimSpiTransfer_native(257 bytes) failed: byte count out of range 1..256"));
    EXPECT_EQ(BrimSpiTransfer(0, nullptr, nullptr), 1u);
    EXPECT_TRUE(Sent().empty());
}

TEST_F(Spi, ChipSelectDrivesTheCsPin) {
    EXPECT_EQ(BrimSpiCsAssert(), 1u);
    EXPECT_FALSE(Sim().pin(9));
    EXPECT_EQ(BrimSpiCsNegate(), 1u);
    EXPECT_TRUE(Sim().pin(9));
    EXPECT_EQ(Sent(), (Bytes{0xF9, 0x00, 0xF9, 0x01}));
    BrimSpiConfigCSPin(3);
    BrimSpiConfigCSPinActiveHigh(1);
    ClearTraffic();
    EXPECT_EQ(BrimSpiCsAssert(), 1u);
    EXPECT_EQ(Sent(), (Bytes{0xF3, 0x01}));
    EXPECT_TRUE(Has("BrimSpiCsAssert()"));
}

TEST(SpiMode, CpolCphaReadsTheControlByteAndWritesOnlyAChange) {
    UseBoard(kSpiNative);
    ASSERT_EQ(BrimSpiConfigCpolCpha(1, 1), 1u);
    EXPECT_EQ(Sent(), (Bytes{0xAE, 0x80, 0xAE, 0x03}));
    EXPECT_EQ(Sim().spiControl(), 0x03);
    EXPECT_TRUE(Has("BrimSpiConfigCpolCpha(SPI_cpol = 1, SPI_cpha = 1)"));
    ClearTraffic();
    ASSERT_EQ(BrimSpiConfigCpolCpha(1, 1), 1u);
    EXPECT_EQ(Sent(), (Bytes{0xAE, 0x80}));
    ClearTraffic();
    ASSERT_EQ(BrimSpiConfigMSBFirst(0), 1u);
    EXPECT_EQ(Sent(), (Bytes{0xAE, 0x80, 0xAE, 0x07}));
    ASSERT_EQ(BrimSpiConfigMSBFirst(1), 1u);
    ASSERT_EQ(BrimSpiConfigCpolCpha(0, 0), 1u);
    EXPECT_EQ(Sim().spiControl(), 0x00);
}

TEST(SpiMode, ModeSettingFailsOnAWrongReply) {
    UseBoard(kSpiNative);
    CorruptReply(0, 1);
    EXPECT_EQ(BrimSpiConfigCpolCpha(1, 0), 0u);
    EXPECT_EQ(Sent(), (Bytes{0xAE, 0x80}));
    ClearTraffic();
    CorruptReply(1, 1);
    EXPECT_EQ(BrimSpiConfigMSBFirst(0), 0u);
    EXPECT_EQ(Sent(), (Bytes{0xAE, 0x80, 0xAE, 0x04}));
    ASSERT_EQ(BrimSpiConfigMSBFirst(1), 1u);
}

TEST(SpiSpeed, KilohertzBecomeADescriptorAndTheBoardMustKeepIt) {
    UseBoard(std::string(kAllNative) + "spi_refuse = 0x11\n");
    EXPECT_EQ(BrimSpiConfigSCKSpeedKhz(4000), 1u);
    EXPECT_EQ(Sent(), (Bytes{0xAD, 0x14}));
    EXPECT_TRUE(Has("Effective SPI speed = (4.0 x 1MHz)"));
    ClearListing();
    // The board refuses 8 MHz and stays at 4 MHz.
    EXPECT_EQ(BrimSpiConfigSCKSpeedKhz(8000), 0u);
    EXPECT_EQ(Sim().spiSpeed(), 0x14);
    EXPECT_TRUE(Has("Effective SPI speed = (4.0 x 1MHz)"));
    ClearTraffic();
    EXPECT_EQ(BrimSPISetSpeed(0x30), 1u);
    EXPECT_EQ(Sent(), (Bytes{0xAD, 0x30}));
    EXPECT_TRUE(Has("BrimSPISetSpeed(100kHz)"));
    EXPECT_EQ(BrimSPISetSpeed(0x11), 0u);
}

TEST(SpiPortable, TransferUsesTheBlockSizeTheBoardReports) {
    UseBoard(kSpiPortable + "# block size\n");
    ASSERT_EQ(BrimSpiConfigCpolCpha(1, 1), 1u);
    ASSERT_EQ(BrimSpiConfigMSBFirst(0), 1u);
    ClearTraffic();
    // The board reports block code 0x18 (2 bytes per 0xAF) with the mode.
    CorruptReply(0, 0, 0x18);
    uint8_t one[2] = {0x00, 0x00}, out[3] = {};
    EXPECT_EQ(BrimSpiTransfer(1, one, out), 0u);
    EXPECT_EQ(Sent(), (Bytes{0xAE, 0x07, 0xAF, 0x00, 0x00}));
    // A mode setting now writes the block code, and the board takes it.
    ASSERT_EQ(BrimSpiConfigCpolCpha(1, 1), 1u);
    EXPECT_EQ(Sim().spiControl(), 0x1F);
    ClearTraffic();
    const uint8_t mosi[3] = {0x10, 0x20, 0x30};
    uint8_t miso[3] = {};
    ASSERT_EQ(BrimSpiTransfer(3, mosi, miso), 1u);
    EXPECT_EQ(Sent(), (Bytes{0xAF, 0x10, 0x20, 0xAF, 0x30, 0x00}));
    EXPECT_EQ(Sim().boardBytes().size(), 6u);
    EXPECT_EQ(Bytes(miso, miso + 3), (Bytes{0x1F, 0x2F, 0x3F}));

    // Back to the first state: no block size, most significant bit first.
    ASSERT_EQ(BrimSpiConfigCpolCpha(0, 0), 1u);
    ASSERT_EQ(BrimSpiConfigMSBFirst(1), 1u);
    CorruptReply(0, 0, 0x18);
    BrimSpiTransfer(2, one, out);
    ASSERT_EQ(BrimSpiConfigCpolCpha(0, 0), 1u);
    EXPECT_EQ(Sim().spiControl(), 0x00);
}

TEST(SpiPortable, TransferSendsOneByteBlocksInOneString) {
    UseBoard(kSpiPortable);
    ASSERT_EQ(BrimSpiConfigCpolCpha(0, 0), 1u);
    ASSERT_EQ(BrimSpiConfigMSBFirst(1), 1u);
    const uint8_t mosi[3] = {0x10, 0x20, 0x30};
    uint8_t miso[3] = {};
    ASSERT_EQ(BrimSpiTransfer(3, mosi, miso), 1u);
    ClearTraffic();
    ASSERT_EQ(BrimSpiTransfer(3, mosi, miso), 1u);
    EXPECT_EQ(Sent(), (Bytes{0xAF, 0x10, 0xAF, 0x20, 0xAF, 0x30}));
    EXPECT_EQ(Sim().hostWrites(), 1u);
    EXPECT_EQ(Bytes(miso, miso + 3), (Bytes{0x1F, 0x2F, 0x3F}));
    EXPECT_TRUE(Has("BrimSpiTransfer_portable(3 bytes MISO: 0x1f 0x2f 0x3f )"));
}

TEST(SpiPortable, TransferWhoseReplyCannotFitIsRefusedWithoutTraffic) {
    UseBoard(kSpiPortable);
    ASSERT_EQ(BrimSpiConfigCpolCpha(0, 0), 1u);
    uint8_t first[1] = {0}, out[1];
    BrimSpiTransfer(1, first, out);
    ClearTraffic();
    // One-byte blocks: 1000 bytes would be answered with 2000.
    Bytes mosi(1000, 0x01), miso(1000, 0xEE);
    EXPECT_EQ(BrimSpiTransfer(1000, mosi.data(), miso.data()), 0u);
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(miso[0], 0xEE);
    EXPECT_TRUE(Has("FAILED"));
}

TEST(SpiPortable, MovedPinsYieldZerosWithoutTraffic) {
    UseBoard(kSpiPortable);
    BrimSpiConfigMOSIPin(4);
    const uint8_t mosi[2] = {0x10, 0x20};
    uint8_t miso[2] = {0xEE, 0xEE};
    EXPECT_EQ(BrimSpiTransfer(2, mosi, miso), 1u);
    BrimSpiConfigMOSIPin(12);
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(miso[0], 0x00);
    EXPECT_EQ(miso[1], 0x00);
}

TEST(P8Bus, ConfigureWriteAndRead) {
    UseBoard(kAllNative);
    EXPECT_EQ(BrimP8BusConfigure(0x5A), 1u);
    EXPECT_EQ(Sim().p8Config(), 0x5A);
    EXPECT_EQ(BrimP8BusWrite(0x10, 0x99), 1u);
    EXPECT_EQ(Sim().p8Byte(0x10), 0x99);
    EXPECT_EQ(BrimP8BusRead(0x10), 0x99);
    EXPECT_EQ(Sent(), (Bytes{0xAA, 0x5A, 0xAB, 0x10, 0x99, 0xAC, 0x10}));
    EXPECT_TRUE(Has("BrimP8BusWrite(addr=0x10, data=0x99)"));
}

} // namespace
} // namespace bus
