// Board settings that are not transactions: the one-byte frequency
// descriptor and its texts, the I2C clock speed, clock stretching and the
// I2C timing options, stored scripts, and the host link's serial speed.
#include "rerodada.h"

#include "BusTransaction.h"
#include "Logs.h"

#include <cstdio>

namespace rerodada {
namespace {

constexpr uint8_t kI2CSpeed = 0xA6;
constexpr uint8_t kScriptExec = 0xA9;
constexpr uint8_t kSlowest = 0x7F;
constexpr uint8_t kOptionClockStretch = 0x01;
constexpr uint8_t kOptionGet = 0x80;
constexpr uint8_t kClockStretchDisabled = 0x80;

// Period = mantissa[m] x unit[e]; units in microseconds.
constexpr double kUnitUs[8] = {0.01, 0.1, 1, 10, 100, 1000, 10000, 100000};
// The mantissas with the next decade's 1.0 appended, for rounding to the nearest.
constexpr double kMantissa[11] = {1.0, 1.25, 1.6, 2.0, 2.5, 3.2, 4.0, 5.0, 6.25, 8.0, 10.0};

const char* const kPeriodMantissa[10] = {"1.00", "1.25", "1.6", "2.0",  "2.5",
                                         "3.2",  "4.0",  "5.0", "6.25", "8.0"};
const char* const kPeriodUnit[8] = {"0.01us", "0.1us", "1us",   "0.01ms",
                                    "0.1ms",  "1ms",   "0.01s", "0.1s"};
const char* const kFrequencyMantissa[10] = {"10.0", "8.0", "6.25", "5.0", "4.0",
                                            "3.2",  "2.5", "2.0",  "1.6", "1.25"};
const char* const kFrequencyUnit[8] = {"10MHz", "1MHz",  "100KHz", "10KHz",
                                       "1KHz",  "100Hz", "10Hz",   "1Hz"};

const char* const kTimingOptionNames[12] = {
    "BRIM_i2cStart_option_I2C_timing_SUSTA",
    "BRIM_i2cStart_option_I2C_timing_HDSTA",
    "BRIM_i2cStart_option_I2C_timing_SCLLOW",
    "BRIM_i2cStart_option_I2C_timing_SCLHIGH",
    "BRIM_i2cStart_option_I2C_timing_SUDAT",
    "BRIM_i2cStart_option_I2C_timing_HDDAT",
    "BRIM_i2cStart_option_I2C_timing_SUSTO",
    "BRIM_i2cStart_option_I2C_timing_BUF",
    "BRIM_i2cStart_option_I2C_timing_SCLLOW_TxData",
    "BRIM_i2cStart_option_I2C_timing_SCLLOW_RxData",
    "BRIM_i2cStart_option_I2C_timing_SCLLOW_TxACK",
    "BRIM_i2cStart_option_I2C_timing_SCLLOW_RxACK",
};

uint8_t Mantissa(uint8_t descriptor) {
    return descriptor & 0x0F;
}
uint8_t Decade(uint8_t descriptor) {
    return (descriptor >> 4) & 0x07;
}

// "/* name */" for the timing options, nothing for others.
void OptionName(uint8_t option, char* text, size_t size) {
    if (option >= 0x10 && option <= 0x1B)
        snprintf(text, size, "/* %s */", kTimingOptionNames[option - 0x10]);
    else
        text[0] = 0;
}

void Comment(const char* text) {
    BrimLogComment(0, text);
}

// The option sub-command 0xA0 0x04; true when the write went out and at
// least two bytes came back.
bool OptionExchange(const uint8_t* frame, uint32_t length) {
    return ReroDadaStringWrite(frame, length, 2) && ReroDadaResultCharCount() >= 2;
}

} // namespace
} // namespace rerodada

using namespace rerodada;

RERODADA_API(uint8_t) BRIM_Frequency_Descriptor_of_usec(double usec) try {
    EnsureInitialised();
    int e = 0;
    while (e < 8 && !(kUnitUs[e] * 9 > usec))
        ++e;
    // Beyond the eight decades (and for no number at all) the slowest setting.
    uint8_t descriptor = kSlowest;
    if (e < 8) {
        const double ratio = usec / kUnitUs[e];
        int m = 0;
        while (m < 9 && !((kMantissa[m] + kMantissa[m + 1]) / 2 > ratio))
            ++m;
        descriptor = static_cast<uint8_t>(m + 16 * e);
    }
    ListingNotef("BRIM_Frequency_Descriptor_of_usec(%f) = 0x%2.2x", usec, descriptor);
    return descriptor;
} catch (...) {
    return ExceptionResult<uint8_t>(__func__);
}

RERODADA_API(uint8_t) BRIM_Frequency_Descriptor_of_MHz(double MHz) try {
    EnsureInitialised();
    ListingNotef("BRIM_Frequency_Descriptor_of_MHz(%f)", MHz);
    if (MHz == 0.0) {
        ListingNote("BRIM_Frequency_Descriptor_of_MHz(0) = 0x7F: slowest");
        return kSlowest;
    }
    return BRIM_Frequency_Descriptor_of_usec(1.0 / MHz);
} catch (...) {
    return ExceptionResult<uint8_t>(__func__);
}

RERODADA_API(char*) BrimFrequencyToString(uint8_t descriptor, char* text) try {
    EnsureInitialised();
    if (!text) return text;
    const uint8_t m = Mantissa(descriptor);
    const uint8_t e = Decade(descriptor);
    if (m > 9)
        snprintf(text, 32, "(undefined)");
    else if (m > 0)
        snprintf(text, 32, "(%s x %s)", kFrequencyMantissa[m], kFrequencyUnit[e]);
    else if (e > 0)
        // Ten times a unit is the unit one decade up.
        snprintf(text, 32, "(%s)", kFrequencyUnit[e - 1]);
    else
        snprintf(text, 32, "(100MHz)");
    return text;
} catch (...) {
    return ExceptionResult<char*>(__func__);
}

RERODADA_API(char*) BrimPeriodToString(uint8_t descriptor, char* text) try {
    EnsureInitialised();
    if (!text) return text;
    const uint8_t m = Mantissa(descriptor);
    if (m > 9)
        snprintf(text, 32, "(undefined)");
    else
        snprintf(text, 32, "(%s x %s)", kPeriodMantissa[m], kPeriodUnit[Decade(descriptor)]);
    return text;
} catch (...) {
    return ExceptionResult<char*>(__func__);
}

RERODADA_API(uint32_t) BrimI2CSetSpeed(uint8_t descriptor) try {
    EnsureInitialised();
    switch (descriptor) {
    case 0x24:
        Comment("BrimI2CSetSpeed(400kHz)");
        break;
    case 0x30:
        Comment("BrimI2CSetSpeed(100kHz)");
        break;
    case 0x35:
        Comment("BrimI2CSetSpeed(32kHz)");
        break;
    default:
        Comment("BrimI2CSetSpeed");
    }
    if (ReroDada2ByteWrite(kI2CSpeed, descriptor, 2) && ReroDadaResultCharCount() == 2 &&
        ReroDadaResultChar(1) == 0xB6 && ReroDadaResultChar(0) == descriptor)
        return 1;
    ListFailed();
    return 0;
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}

RERODADA_API(uint32_t) BrimI2CClockStretchDisable(uint8_t disable) try {
    EnsureInitialised();
    Comment(disable ? "BrimI2CClockStretchDisable(1 /* disable I2C clock stretch */ )"
                    : "BrimI2CClockStretchDisable(0 /* enable I2C clock stretch */ )");
    if (BrimBoardConfirmFirmwareVersion(1, 5, 44) != 1) {
        Comment("BrimI2CClockStretchDisable not supported; requires firmware 01.05.44.");
        return 0;
    }
    Comment(disable ? "BrimI2CClockStretchDisable(true)" : "BrimI2CClockStretchDisable(false)");
    const uint8_t frame[] = {kStart, kSubOption, kOptionClockStretch,
                             disable ? kClockStretchDisabled : uint8_t(0x00)};
    if (ReroDadaStringWrite(frame, sizeof frame, 1)) return 1;
    Comment("BrimI2CClockStretchDisable failed ReroDadaStringWrite.");
    return 0;
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}

RERODADA_API(uint8_t) BrimI2CGetClockStretchOption(void) try {
    EnsureInitialised();
    Comment("BrimI2CGetClockStretchOption()");
    if (BrimBoardConfirmFirmwareVersion(1, 5, 44) != 1) {
        Comment("BrimI2CGetClockStretchOption not supported; requires firmware 01.05.44.");
        return 0;
    }
    const uint8_t frame[] = {kStart, kSubOption, kOptionGet | kOptionClockStretch};
    if (!OptionExchange(frame, sizeof frame)) {
        Comment("BrimI2CGetClockStretchOption() failed ReroDadaStringWrite.");
        return 0;
    }
    const uint8_t option = ReroDadaResultChar(0);
    char text[64];
    snprintf(text, sizeof text, "BrimI2CGetClockStretchOption() = 0x%2.2x)", option);
    RERODADA_TRACE("%s", text);
    Comment(text);
    return option;
} catch (...) {
    return ExceptionResult<uint8_t>(__func__);
}

RERODADA_API(uint32_t) BRIMI2C_timing_Adjust_Get(uint8_t option, uint8_t* value) try {
    EnsureInitialised();
    Comment("BRIMI2C_timing_Adjust_Get()");
    if (BrimBoardConfirmFirmwareVersion(1, 5, 45) != 1) {
        Comment("BRIMI2C_timing_Adjust_Get not supported; requires firmware 01.05.45.");
        return 0;
    }
    const uint8_t frame[] = {kStart, kSubOption, static_cast<uint8_t>(option | kOptionGet)};
    if (!OptionExchange(frame, sizeof frame)) {
        Comment("BRIMI2C_timing_Adjust_Get() failed ReroDadaStringWrite.");
        return 0;
    }
    const uint8_t read = ReroDadaResultChar(0);
    if (value) *value = read;
    char name[64];
    OptionName(option, name, sizeof name);
    char text[128];
    snprintf(text, sizeof text, "BRIMI2C_timing_Adjust_Get(0x%2.2x%s) = 0x%2.2x", option, name,
             read);
    RERODADA_TRACE("%s", text);
    Comment(text);
    return 1;
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}

RERODADA_API(uint32_t) BRIMI2C_timing_Adjust_Set(uint8_t option, uint8_t value) try {
    EnsureInitialised();
    Comment("BRIMI2C_timing_Adjust_Set()");
    if (BrimBoardConfirmFirmwareVersion(1, 5, 45) != 1) {
        Comment("BRIMI2C_timing_Adjust_Set not supported; requires firmware 01.05.45.");
        return 0;
    }
    const uint8_t frame[] = {kStart, kSubOption, option, value};
    if (!OptionExchange(frame, sizeof frame)) {
        Comment("BRIMI2C_timing_Adjust_Set() failed ReroDadaStringWrite.");
        return 0;
    }
    char name[64];
    OptionName(option, name, sizeof name);
    char text[128];
    snprintf(text, sizeof text, "BRIMI2C_timing_Adjust_Set(0x%2.2x%s,0x%2.2x)", option, name,
             value);
    RERODADA_TRACE("%s", text);
    Comment(text);
    return 1;
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}

RERODADA_API(uint32_t)
BrimScriptExecEx(uint8_t scriptOffset, uint8_t repeatCount, uint8_t flags) try {
    EnsureInitialised();
    ListingNotef("BrimScriptExecEx(ScriptOffset=0x%2.2x, RepeatCount=0x%2.2x, flags=0x%4.4x)",
                 scriptOffset, repeatCount, flags);
    const uint8_t bytes[] = {kScriptExec, scriptOffset, repeatCount, flags};
    if (ReroDadaStringWrite(bytes, sizeof bytes, 3) && ReroDadaResultCharCount() >= 3) return 1;
    ListFailed();
    return 0;
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}

int RERODADA_CALL evTarn232SetComPortSpeed(unsigned int baud) try {
    EnsureInitialised();
    BrimBoardAutoBaud(false);
    BrimBoardSetBaud(static_cast<int>(baud));
    BrimBoardBannerRequiresPrefix("");
    return 1;
} catch (...) {
    return ExceptionResult<int>(__func__);
}
