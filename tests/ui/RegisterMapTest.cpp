#include "RegisterMap.h"

#include <gtest/gtest.h>

using namespace rar4120e;

TEST(RegisterMap, FieldsDecodingAndPeriods) {
    EXPECT_EQ(findRegister(0x16)->address, 0x16);
    EXPECT_EQ(findRegister(0x17), nullptr);
    // Read-only registers take no write; LoDIM4:1 of 0x03 are the chip's.
    const uint8_t writable[] = {0x00, 0x00, 0xFF, 0x0F, 0xFF, 0xFF, 0xFF, 0xFF,
                                0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00, 0xFF};
    for (uint8_t reg = 0x00; reg <= 0x16; ++reg)
        EXPECT_EQ(findRegister(reg)->writableMask(), writable[reg]) << int(reg);
    const Field* fpwm = nullptr;
    ASSERT_EQ(registerOfField("FPWM", &fpwm)->address, 0x0E);
    EXPECT_EQ(fpwm->insert(0x80, 7), 0xF0);
    EXPECT_STREQ(fpwm->itemText(0x70), "1634Hz");
    EXPECT_EQ(decode(0x0E, 0x80), "0x0E SETTING = 0x80: SG_RETRY=1 FPWM=0 (153Hz) SS_OFF=0 SSL=0 "
                                  "SLDET=0 (Disabled)");
    EXPECT_EQ(decode(0x10, 0x07), "0x10 FADING = 0x07: FADE_GAIN=0 FADE_IN_OUT=0 TDIM=7 (no item)");
    const uint32_t periods[] = {130719, 98523, 65574, 32787, 20409, 16394, 14276, 12240};
    for (unsigned code = 0; code < 8; ++code)
        EXPECT_EQ(pwmPeriodCount(code), periods[code]) << code;
    EXPECT_EQ(tonChannelOfRegister(0x0B), 3);
    EXPECT_EQ(tonChannelOfRegister(0x0D), -1);
}
