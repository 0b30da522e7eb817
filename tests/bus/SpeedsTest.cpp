// Frequency descriptors and their texts, bus speeds, the I2C options behind
// their firmware gates, stored scripts and the serial speed.
#include "BusBoard.h"

#include "rerodada.h"

#include <gtest/gtest.h>

namespace bus {
namespace {

bool Has(const std::string& text) {
    return Listing().find(text) != std::string::npos;
}

TEST(Descriptor, OfFrequenciesAndPeriods) {
    const struct {
        double MHz;
        uint8_t descriptor;
    } table[] = {{8, 0x11},     {4, 0x14},    {2, 0x17},  {1, 0x20},   {0.4, 0x24}, {0.1, 0x30},
                 {0.032, 0x35}, {0.05, 0x33}, {12, 0x09}, {100, 0x00}, {0, 0x7F}};
    for (const auto& row : table)
        EXPECT_EQ(BRIM_Frequency_Descriptor_of_MHz(row.MHz), row.descriptor) << row.MHz;
    EXPECT_EQ(BRIM_Frequency_Descriptor_of_usec(2.5), 0x24);
    EXPECT_EQ(BRIM_Frequency_Descriptor_of_usec(0.125), 0x11);
    EXPECT_EQ(BRIM_Frequency_Descriptor_of_usec(850000), 0x79);
    // Beyond the eight decades: the slowest setting.
    EXPECT_EQ(BRIM_Frequency_Descriptor_of_usec(900000), 0x7F);
}

TEST(Descriptor, Texts) {
    const struct {
        uint8_t descriptor;
        const char* frequency;
        const char* period;
    } table[] = {
        {0x30, "(100KHz)", "(1.00 x 0.01ms)"},    {0x35, "(3.2 x 10KHz)", "(3.2 x 0.01ms)"},
        {0x00, "(100MHz)", "(1.00 x 0.01us)"},    {0x7F, "(undefined)", "(undefined)"},
        {0x11, "(8.0 x 1MHz)", "(1.25 x 0.1us)"}, {0x20, "(1MHz)", "(1.00 x 1us)"},
        {0x24, "(4.0 x 100KHz)", "(2.5 x 1us)"},  {0x79, "(1.25 x 1Hz)", "(8.0 x 0.1s)"},
    };
    for (const auto& row : table) {
        char text[32];
        EXPECT_STREQ(BrimFrequencyToString(row.descriptor, text), row.frequency);
        EXPECT_STREQ(BrimPeriodToString(row.descriptor, text), row.period);
    }
}

class Speeds : public BoardTest {};

TEST_F(Speeds, I2CSpeedMustBeConfirmed) {
    ASSERT_EQ(BrimI2CSetSpeed(0x24), 1u);
    EXPECT_EQ(Sent(), (Bytes{0xA6, 0x24}));
    EXPECT_EQ(Sim().i2cSpeed(), 0x24);
    EXPECT_TRUE(Has("BrimI2CSetSpeed(400kHz)"));
    ASSERT_EQ(BrimI2CSetSpeed(0x30), 1u);
}

TEST(SpeedRefused, I2CSpeedAnsweredWithAnotherDescriptorFails) {
    UseBoard(std::string(kAllNative) + "i2c_refuse = 0x24\n");
    EXPECT_EQ(BrimI2CSetSpeed(0x24), 0u);
    EXPECT_EQ(Sim().boardBytes(), (Bytes{0x30, 0xB6}));
    EXPECT_TRUE(Has("FAILED"));
}

TEST_F(Speeds, TimingOptionFrames) {
    ASSERT_EQ(BRIMI2C_timing_Adjust_Set(0x12, 0x05), 1u);
    EXPECT_EQ(Sent(), (Bytes{0xC2, 0x01, 0xA0, 0x04, 0x12, 0x05}));
    EXPECT_EQ(Sim().i2cOption(0x12), 0x05);
    EXPECT_TRUE(Has("BRIMI2C_timing_Adjust_Set(0x12/* BRIM_i2cStart_option_I2C_timing_SCLLOW */,"
                    "0x05)"));
    ClearTraffic();
    uint8_t value = 0;
    ASSERT_EQ(BRIMI2C_timing_Adjust_Get(0x12, &value), 1u);
    EXPECT_EQ(Sent(), (Bytes{0xC2, 0x01, 0xA0, 0x04, 0x92}));
    EXPECT_EQ(value, 0x05);
    EXPECT_TRUE(Has("BRIMI2C_timing_Adjust_Get(0x12/* BRIM_i2cStart_option_I2C_timing_SCLLOW */) "
                    "= 0x05"));
}

TEST_F(Speeds, ClockStretchOption) {
    ASSERT_EQ(BrimI2CClockStretchDisable(1), 1u);
    EXPECT_EQ(Sent(), (Bytes{0xC2, 0x01, 0xA0, 0x04, 0x01, 0x80}));
    EXPECT_EQ(BrimI2CGetClockStretchOption(), 0x80);
    EXPECT_TRUE(Has("BrimI2CGetClockStretchOption() = 0x80)"));
    ASSERT_EQ(BrimI2CClockStretchDisable(0), 1u);
    EXPECT_EQ(Sim().i2cOption(0x01), 0x00);
}

TEST(FirmwareGates, OptionsAreRefusedByOlderFirmware) {
    UseBoard(std::string(kAllNative) + "firmware = 1.5.44\n");
    uint8_t value = 0xEE;
    EXPECT_EQ(BRIMI2C_timing_Adjust_Get(0x10, &value), 0u);
    EXPECT_EQ(BRIMI2C_timing_Adjust_Set(0x10, 0x01), 0u);
    EXPECT_EQ(Sent(), (Bytes{0xC2, 0x01, 0xC2, 0x01}));
    EXPECT_EQ(value, 0xEE);
    EXPECT_TRUE(Has("BRIMI2C_timing_Adjust_Get not supported; requires firmware 01.05.45."));
    // 01.05.44 is enough for clock stretching.
    ClearTraffic();
    EXPECT_EQ(BrimI2CClockStretchDisable(1), 1u);
    EXPECT_EQ(Sim().i2cOption(0x01), 0x80);

    UseBoard(std::string(kAllNative) + "firmware = 1.5.43\n");
    EXPECT_EQ(BrimI2CGetClockStretchOption(), 0);
    EXPECT_EQ(BrimI2CClockStretchDisable(1), 0u);
    EXPECT_EQ(Sent(), (Bytes{0xC2, 0x01, 0xC2, 0x01}));
    EXPECT_TRUE(Has("BrimI2CClockStretchDisable not supported; requires firmware 01.05.44."));
}

TEST_F(Speeds, ScriptExecution) {
    ASSERT_EQ(BrimScriptExecEx(0x10, 0x02, 0x03), 1u);
    EXPECT_EQ(Sent(), (Bytes{0xA9, 0x10, 0x02, 0x03}));
    ASSERT_EQ(Sim().scriptRuns().size(), 1u);
    EXPECT_EQ(Sim().scriptRuns()[0].repeat, 0x02);
    EXPECT_TRUE(Has("BrimScriptExecEx(ScriptOffset=0x10, RepeatCount=0x02, flags=0x0003)"));
    Fault(podsim::FaultKind::Cut, 2);
    EXPECT_EQ(BrimScriptExecEx(0x10, 0x02, 0x03), 0u);
    EXPECT_TRUE(Has("FAILED"));
}

TEST_F(Speeds, SerialSpeedSwitchesOffAutomaticBaudAndTheBannerPrefix) {
    char prefix[32];
    EXPECT_EQ(evTarn232SetComPortSpeed(921600), 1);
    EXPECT_FALSE(BrimBoardGetAutoBaud());
    BrimBoardBanner_GetRequiredPrefix(prefix, sizeof prefix);
    EXPECT_STREQ(prefix, "");
    // The link still works at the rate it was set to.
    uint8_t v = 0;
    EXPECT_EQ(BrimSMBusReadByte(0x2A, 0x00, &v), 1u);
    BrimBoardAutoBaud(true);
    BrimBoardBannerRequiresPrefix("Kelvo");
}

} // namespace
} // namespace bus
