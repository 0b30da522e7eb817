// Frequency descriptors, bus speeds, the I2C options behind their firmware
// gates, stored scripts, the serial speed, SPI and the P8 bus.
#include "Bus.h"

namespace bus {
namespace {

TEST(Descriptor, OfFrequenciesAndPeriodsAndTheirTexts) {
    const std::pair<double, uint8_t> ofMHz[] = {
        {8, 0x11},     {4, 0x14},    {2, 0x17},  {1, 0x20},   {0.4, 0x24}, {0.1, 0x30},
        {0.032, 0x35}, {0.05, 0x33}, {12, 0x09}, {100, 0x00}, {0, 0x7F}};
    for (const auto& [MHz, descriptor] : ofMHz)
        EXPECT_EQ(BRIM_Frequency_Descriptor_of_MHz(MHz), descriptor) << MHz;
    // Periods in microseconds; beyond the eight decades, the slowest setting.
    for (const auto& [us, descriptor] :
         {std::pair{2.5, 0x24}, {0.125, 0x11}, {850000., 0x79}, {900000., 0x7F}})
        EXPECT_EQ(BRIM_Frequency_Descriptor_of_usec(us), descriptor) << us;
    const std::tuple<uint8_t, const char*, const char*> texts[] = {
        {0x30, "(100KHz)", "(1.00 x 0.01ms)"},    {0x35, "(3.2 x 10KHz)", "(3.2 x 0.01ms)"},
        {0x00, "(100MHz)", "(1.00 x 0.01us)"},    {0x7F, "(undefined)", "(undefined)"},
        {0x11, "(8.0 x 1MHz)", "(1.25 x 0.1us)"}, {0x20, "(1MHz)", "(1.00 x 1us)"},
        {0x24, "(4.0 x 100KHz)", "(2.5 x 1us)"},  {0x79, "(1.25 x 1Hz)", "(8.0 x 0.1s)"},
    };
    for (const auto& [descriptor, frequency, period] : texts) {
        char text[32];
        EXPECT_STREQ(BrimFrequencyToString(descriptor, text), frequency);
        EXPECT_STREQ(BrimPeriodToString(descriptor, text), period);
    }
}

// A call on a board configuration: its result, the bytes it sent (unless
// kAny) and a line of its listing.
using Frame = std::tuple<std::string, uint32_t (*)(), uint32_t, Bytes, const char*>;

const Bytes kAny{0xFF, 0xFF};
const std::string kSpiNative = kAllNative + "spi_xor = 0x0F\n";
const std::string kSpiPortable = kNoNative + "spi_xor = 0x0F\n";
const uint8_t kBig[1995] = {};
const std::string kFirmware44 = kAllNative + "firmware = 1.5.44\n";
const std::string kFirmware43 = kAllNative + "firmware = 1.5.43\n";
const std::string kSpiRefuses8MHz = kAllNative + "spi_refuse = 0x11\n";

// The call as a row of a table.
#define BUS_CALL(expr) [] { return uint32_t(expr); }

// Nonzero too when the count was touched.
uint32_t BlockPecPortable() {
    uint8_t count = 0xEE, buffer[4];
    return BrimSMBusReadBlockPEC_portable(0xA0, 0x83, &count, buffer, 4) | (count != 0xEE);
}

uint32_t TimingGet(uint8_t option) {
    uint8_t v = 0xEE;
    return BRIMI2C_timing_Adjust_Get(option, &v) + v;
}

TEST(Frames, EachCallSendsItsFrameAndListsItself) {
    // clang-format off
    const Frame frames[] = {
        {kAllNative, BUS_CALL(BrimI2CSetSpeed(0x24)), 1, {0xA6, 0x24}, "BrimI2CSetSpeed(400kHz)"},
        // The board must confirm the speed with the same descriptor.
        {kAllNative + "i2c_refuse = 0x24\n", BUS_CALL(BrimI2CSetSpeed(0x24)), 0, {0xA6, 0x24},
         "FAILED"},
        {kAllNative, BUS_CALL(BRIMI2C_timing_Adjust_Set(0x12, 0x05)), 1,
         {0xC2, 0x01, 0xA0, 0x04, 0x12, 0x05},
         "BRIMI2C_timing_Adjust_Set(0x12/* BRIM_i2cStart_option_I2C_timing_SCLLOW */,0x05)"},
        {kAllNative, BUS_CALL(TimingGet(0x12)), 1 + 0x05, {0xC2, 0x01, 0xA0, 0x04, 0x92},
         "BRIMI2C_timing_Adjust_Get(0x12/* BRIM_i2cStart_option_I2C_timing_SCLLOW */) = 0x05"},
        {kAllNative, BUS_CALL(BrimI2CClockStretchDisable(1)), 1,
         {0xC2, 0x01, 0xA0, 0x04, 0x01, 0x80}, ""},
        {kAllNative, BUS_CALL(BrimI2CGetClockStretchOption()), 0x80, kAny,
         "BrimI2CGetClockStretchOption() = 0x80)"},
        {kAllNative, BUS_CALL(BrimI2CClockStretchDisable(0) + BrimI2CGetClockStretchOption()), 1,
         kAny, ""},
        // Timing options need 01.05.45, clock stretching 01.05.44.
        {kFirmware44, BUS_CALL(TimingGet(0x10)), 0xEE, {0xC2, 0x01},
         "BRIMI2C_timing_Adjust_Get not supported; requires firmware 01.05.45."},
        {kFirmware44, BUS_CALL(BRIMI2C_timing_Adjust_Set(0x10, 0x01)), 0, {0xC2, 0x01}, ""},
        {kFirmware44, BUS_CALL(BrimI2CClockStretchDisable(1)), 1, kAny, ""},
        {kFirmware43, BUS_CALL(BrimI2CGetClockStretchOption()), 0, kAny, ""},
        {kFirmware43, BUS_CALL(BrimI2CClockStretchDisable(1)), 0, {0xC2, 0x01},
         "BrimI2CClockStretchDisable not supported; requires firmware 01.05.44."},
        {kAllNative, BUS_CALL(BrimScriptExecEx(0x10, 0x02, 0x03)), 1, {0xA9, 0x10, 0x02, 0x03},
         "BrimScriptExecEx(ScriptOffset=0x10, RepeatCount=0x02, flags=0x0003)"},
        {kAllNative, BUS_CALL(BrimP8BusConfigure(0x5A)), 1, {0xAA, 0x5A}, ""},
        {kAllNative, BUS_CALL(BrimP8BusWrite(0x10, 0x99)), 1, {0xAB, 0x10, 0x99},
         "BrimP8BusWrite(addr=0x10, data=0x99)"},
        {kAllNative, BUS_CALL(BrimP8BusRead(0x10)), 0x99, {0xAC, 0x10}, ""},
        // SPI speeds in kilohertz become a descriptor the board must keep.
        {kSpiRefuses8MHz, BUS_CALL(BrimSpiConfigSCKSpeedKhz(4000)), 1, {0xAD, 0x14},
         "Effective SPI speed = (4.0 x 1MHz)"},
        {kSpiRefuses8MHz, BUS_CALL(BrimSpiConfigSCKSpeedKhz(8000)), 0, kAny,
         "Effective SPI speed = (4.0 x 1MHz)"},
        {kSpiRefuses8MHz, BUS_CALL(BrimSPISetSpeed(0x30)), 1, {0xAD, 0x30},
         "BrimSPISetSpeed(100kHz)"},
        {kSpiRefuses8MHz, BUS_CALL(BrimSPISetSpeed(0x11)), 0, kAny, ""},
        // Chip select drives its pin at its level; pin settings send nothing, and
        // a byte needs the standard clock pin. The loopback answers MOSI XOR 0x0F.
        {kAllNative, BUS_CALL((BrimSpiConfigCSPin(9), BrimSpiConfigCSPinActiveHigh(0),
                               BrimSpiCsAssert() + BrimSpiCsNegate())), 2, {0xF9, 0x00, 0xF9, 0x01},
         ""},
        {kAllNative, BUS_CALL((BrimSpiConfigCSPin(3), BrimSpiConfigCSPinActiveHigh(1),
                               BrimSpiCsAssert())), 1, {0xF3, 0x01}, "BrimSpiCsAssert()"},
        {kAllNative, BUS_CALL(BrimSpiConfigMOSIPin(12) + BrimSpiConfigMISOPin(11) +
                              BrimSpiConfigCSPin(9) + BrimSpiConfigCSPinActiveHigh(0)), 3, {}, ""},
        {kSpiNative, BUS_CALL((BrimSpiConfigSCKPin(5), BrimSpiByte(0x55))), 0, {}, ""},
        {kSpiNative, BUS_CALL((BrimSpiConfigSCKPin(10), BrimSpiByte(0x55))), 0x5A, {0xAF, 0x55},
         ""},
        // Transactions beyond the buffers are refused without traffic; a count
        // of 0 stands for 256 bytes, which a missing buffer cannot supply.
        {kAllNative, BUS_CALL(BrimSMBusWriteBlock_native(0xA0, 0x81, 300, kBig)), 0, {}, "FAILED"},
        {kAllNative, BUS_CALL(BrimSMBusWriteBlock_native(0xA0, 0x81, 0, nullptr)), 0, {}, "FAILED"},
        {kAllNative, BUS_CALL(BrimSMBusWriteBlock_portable(0xA0, 0x81, 1995, kBig)), 0, {},
         "FAILED"},
        {kAllNative, BUS_CALL(BlockPecPortable()), 0, {}, "FAILED"},
        {kAllNative, BUS_CALL(Group({0xA0}, {255}, {1}, {Bytes(1995, 0x5A)})), 0, {}, "FAILED"},
        // A group command names the firmware command it lacks.
        {kNoNative, BUS_CALL(ThreeDevices()), 0, {},
         "FAILED: BrimPMBusGroupCommand requires newer firmware "},
        {kFlagOnly, BUS_CALL(ThreeDevices()), 0, {}, "FAILED: BrimPMBusGroupCommand requires "
         "firmware command 0xA0 0x05 BRIM_i2cStart_WriteReadStop "},
        {kWriteReadOnly, BUS_CALL(ThreeDevices()), 0, {}, "FAILED: BrimPMBusGroupCommand requires "
         "firmware command 0xA0 0x09 BRIM_i2cStart_PMBusWriteReadNoStop "},
    };
    // clang-format on
    for (const auto& [config, call, result, sent, listing] : frames) {
        SCOPED_TRACE(config + listing);
        UseBoard(config);
        EXPECT_EQ(call(), result);
        EXPECT_TRUE(sent == kAny || Sent() == sent);
        EXPECT_TRUE(Has(listing)) << gListing;
    }
    UseBoard(kAllNative);
    Sim().setScriptedReplies({{0x10, 0x02}});
    EXPECT_EQ(BrimScriptExecEx(0x10, 0x02, 0x03), 0u);
    Sim().clearScriptedReplies();
    // A set serial speed switches off automatic baud and the banner prefix.
    char prefix[32];
    EXPECT_EQ(evTarn232SetComPortSpeed(921600), 1);
    EXPECT_FALSE(BrimBoardGetAutoBaud());
    BrimBoardBanner_GetRequiredPrefix(prefix, sizeof prefix);
    EXPECT_STREQ(prefix, "");
    // The link works at that rate.
    uint8_t v = 0;
    EXPECT_EQ(BrimSMBusReadByte(0x2A, 0x00, &v), 1u);
    BrimBoardAutoBaud(true);
    BrimBoardBannerRequiresPrefix("Kelvo");
}

const uint8_t kMosi[3] = {0x10, 0x20, 0x30};

class Spi : public testing::Test {
  protected:
    void SetUp() override {
        UseBoard(kSpiNative);
        // The probe offers native SPI, whatever earlier portable transfers learnt.
        BrimSupportsNativeSMBusCommands();
        BrimSpiConfigCSPin(9);
        BrimSpiConfigCSPinActiveHigh(0);
        BrimSpiConfigCpolCpha(0, 0);
        BrimSpiConfigMSBFirst(1);
        Clear();
    }
    uint8_t miso[3] = {};
};

TEST_F(Spi, NativeTransfersOf256BytesAfterAPortableOneAndWithOtherChipSelects) {
    Bytes mosi(257), out(257, 0xEE);
    for (size_t i = 0; i < mosi.size(); ++i)
        mosi[i] = uint8_t(i);
    EXPECT_EQ(BrimSpiTransfer_native(257, mosi.data(), out.data()), 0u);
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(out[0], 0xEE);
    EXPECT_TRUE(Has("BrimSpiTransfer_native(257 bytes) failed: byte count out of range 1..256"));
    EXPECT_EQ(BrimSpiTransfer(0, nullptr, nullptr), 1u);
    EXPECT_TRUE(Sent().empty());
    ASSERT_EQ(BrimSpiTransfer(256, mosi.data(), out.data()), 1u);
    mosi.insert(mosi.begin(), {0xA0, 0x0A, 0x00});
    EXPECT_EQ(Sent(), Bytes(mosi.begin(), mosi.end() - 1));
    EXPECT_EQ(Sim().boardBytes().size(), 257u);
    for (size_t i = 0; i < 256; ++i)
        ASSERT_EQ(out[i], uint8_t(i) ^ 0x0F) << i;
    EXPECT_TRUE(Has("Firmware command 0xA0 0x0A BRIM_i2cStart_SpiMosiMiso"));
    // A portable transfer leaves later transfers native.
    ASSERT_EQ(BrimSpiConfigCpolCpha(1, 1), 1u);
    ASSERT_EQ(BrimSpiTransfer_portable(2, kMosi, miso), 1u);
    Clear();
    ASSERT_EQ(BrimSpiTransfer(2, kMosi, miso), 1u);
    EXPECT_EQ(Sent(), (Bytes{0xA0, 0x0A, 0x02, 0x10, 0x20}));
    // Other chip selects travel with the transfer.
    // Pin, active high, option byte.
    const std::tuple<uint32_t, uint8_t, uint8_t> cases[] = {
        {3, 1, 0x97}, {14, 0, 0x16}, {1, 0, 0x86}, {13, 1, 0x0F}, {9, 1, 0x07}};
    for (const auto& [pin, activeHigh, option] : cases) {
        SCOPED_TRACE(pin);
        BrimSpiConfigCSPin(pin);
        BrimSpiConfigCSPinActiveHigh(activeHigh);
        Clear();
        ASSERT_EQ(BrimSpiTransfer(2, kMosi, miso), 1u);
        EXPECT_EQ(Sent(), (Bytes{0xA0, 0x0C, option, 0x02, 0x10, 0x20}));
        EXPECT_EQ(Bytes(miso, miso + 2), (Bytes{0x1F, 0x2F}));
    }
}

TEST_F(Spi, ModeSettingReadsTheControlByteWritesOnlyAChangeAndChecksTheReply) {
    ASSERT_EQ(BrimSpiConfigCpolCpha(1, 1), 1u);
    EXPECT_EQ(Sim().spiControl(), 0x03);
    EXPECT_TRUE(Has("BrimSpiConfigCpolCpha(SPI_cpol = 1, SPI_cpha = 1)"));
    ASSERT_EQ(BrimSpiConfigCpolCpha(1, 1), 1u);
    ASSERT_EQ(BrimSpiConfigMSBFirst(0), 1u);
    EXPECT_EQ(Sent(), (Bytes{0xAE, 0x80, 0xAE, 0x03, 0xAE, 0x80, 0xAE, 0x80, 0xAE, 0x07}));
    ASSERT_EQ(BrimSpiConfigMSBFirst(1), 1u);
    ASSERT_EQ(BrimSpiConfigCpolCpha(0, 0), 1u);
    EXPECT_EQ(Sim().spiControl(), 0x00);
    // A wrong completion to the query, then to the change.
    Clear();
    Sim().setScriptedReplies({{0x00, 0xBF}});
    EXPECT_EQ(BrimSpiConfigCpolCpha(1, 0), 0u);
    Sim().setScriptedReplies({{0x00, 0xBE}, {0x04, 0xBF}});
    EXPECT_EQ(BrimSpiConfigMSBFirst(0), 0u);
    EXPECT_EQ(Sent(), (Bytes{0xAE, 0x80, 0xAE, 0x80, 0xAE, 0x04}));
    Sim().clearScriptedReplies();
    ASSERT_EQ(BrimSpiConfigMSBFirst(1), 1u);
}

TEST(SpiPortable, TransfersUseTheBlockSizeTheBoardReportsWithinTheReplyBuffer) {
    UseBoard(kSpiPortable + "# block size\n");
    ASSERT_EQ(BrimSpiConfigCpolCpha(1, 1), 1u);
    ASSERT_EQ(BrimSpiConfigMSBFirst(0), 1u);
    Clear();
    // The board reports block code 0x18 (2 bytes per 0xAF) with the mode.
    const uint8_t one[2] = {0x00, 0x00};
    uint8_t out[3] = {};
    Sim().setScriptedReplies({{0x1F, 0xBE}});
    EXPECT_EQ(BrimSpiTransfer(1, one, out), 0u);
    Sim().clearScriptedReplies();
    EXPECT_EQ(Sent(), (Bytes{0xAE, 0x07, 0xAF, 0x00, 0x00}));
    // A mode setting now writes the block code, and the board takes it.
    ASSERT_EQ(BrimSpiConfigCpolCpha(1, 1), 1u);
    EXPECT_EQ(Sim().spiControl(), 0x1F);
    Clear();
    ASSERT_EQ(BrimSpiTransfer(3, kMosi, out), 1u);
    EXPECT_EQ(Sent(), (Bytes{0xAF, 0x10, 0x20, 0xAF, 0x30, 0x00}));
    EXPECT_EQ(Sim().boardBytes().size(), 6u);
    EXPECT_EQ(Bytes(out, out + 3), (Bytes{0x1F, 0x2F, 0x3F}));
    // Back to the first state: no block size, most significant bit first.
    ASSERT_EQ(BrimSpiConfigCpolCpha(0, 0), 1u);
    ASSERT_EQ(BrimSpiConfigMSBFirst(1), 1u);
    Sim().setScriptedReplies({{uint8_t(Sim().spiControl() ^ 0x18), 0xBE}});
    BrimSpiTransfer(2, one, out);
    Sim().clearScriptedReplies();
    ASSERT_EQ(BrimSpiConfigCpolCpha(0, 0), 1u);
    EXPECT_EQ(Sim().spiControl(), 0x00);
    // One-byte blocks go in one string.
    UseBoard(kSpiPortable);
    ASSERT_EQ(BrimSpiConfigCpolCpha(0, 0), 1u);
    ASSERT_EQ(BrimSpiConfigMSBFirst(1), 1u);
    ASSERT_EQ(BrimSpiTransfer(3, kMosi, out), 1u);
    Clear();
    ASSERT_EQ(BrimSpiTransfer(3, kMosi, out), 1u);
    EXPECT_EQ(Sent(), (Bytes{0xAF, 0x10, 0xAF, 0x20, 0xAF, 0x30}));
    EXPECT_EQ(Sim().hostWrites(), 1u);
    EXPECT_EQ(Bytes(out, out + 3), (Bytes{0x1F, 0x2F, 0x3F}));
    EXPECT_TRUE(Has("BrimSpiTransfer_portable(3 bytes MISO: 0x1f 0x2f 0x3f )"));
    // 1000 bytes would be answered with 2000.
    Clear();
    Bytes mosi(1000, 0x01), miso(1000, 0xEE);
    EXPECT_EQ(BrimSpiTransfer(1000, mosi.data(), miso.data()), 0u);
    EXPECT_TRUE(Has("FAILED"));
    // Moved pins yield zeros.
    BrimSpiConfigMOSIPin(4);
    EXPECT_EQ(BrimSpiTransfer(2, kMosi, miso.data()), 1u);
    BrimSpiConfigMOSIPin(12);
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(Bytes(miso.begin(), miso.begin() + 3), (Bytes{0x00, 0x00, 0xEE}));
}

} // namespace
} // namespace bus
