// The config text format shared by podlink-sim and the D2XX stand-in.
#include "Config.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <unistd.h>

using podsim::Config;
using podsim::ConfigError;

namespace {

TEST(Config, DefaultsDescribeAModernBoard) {
    Config c;
    EXPECT_EQ(c.bannerText(), "Kelvo PODLINK v01.05.47\r\n");
    EXPECT_EQ(c.nativeBitmask, 0x17FF);
    EXPECT_TRUE(c.resetOnDtrSet);
    EXPECT_TRUE(c.rar4120ePresent);
    EXPECT_EQ(c.rar4120eAddress, 0x2A);
    EXPECT_EQ(c.smbusDevices, std::vector<uint8_t>{0xA0});
    EXPECT_EQ(c.usbDevices, 1u);
}

TEST(Config, ParsesEveryKindOfValue) {
    Config c = Config::fromText(R"(
# a comment line
baud = 38400            # trailing comment
banner = "  Kelvo # not a comment\r\n"
banner_nul = yes
firmware = 1.5.43
native_bitmask = 0x0003
reset_dtr = clear
i2c_refuse = 0x24, 0x35
device = 0x50 0x52
device = 0x54
smbus = off
rar4120e = 0x30
fault = stall
fault.bytes = 2
fault.delay_us = 1000
fault.after = 3
fault.times = 1
unplug_after = 5
usb.devices = 3
usb.silent = 0,2
usb.reject_baud = 625000
)");
    EXPECT_EQ(c.baud, 38400u);
    EXPECT_EQ(c.bannerText(), "  Kelvo # not a comment\r\n");
    EXPECT_TRUE(c.bannerNul);
    EXPECT_EQ(c.fwBuild, 43);
    EXPECT_EQ(c.nativeBitmask, 0x0003);
    EXPECT_FALSE(c.resetOnDtrSet);
    EXPECT_EQ(c.i2cRefused, (std::vector<uint8_t>{0x24, 0x35}));
    EXPECT_EQ(c.plainDevices, (std::vector<uint8_t>{0x50, 0x52, 0x54}));
    EXPECT_TRUE(c.smbusDevices.empty());
    EXPECT_EQ(c.rar4120eAddress, 0x30);
    EXPECT_EQ(c.fault.kind, podsim::FaultKind::Stall);
    EXPECT_EQ(c.fault.bytes, 2u);
    EXPECT_EQ(c.fault.delayUs, 1000u);
    EXPECT_EQ(c.fault.after, 3u);
    EXPECT_EQ(c.fault.times, 1u);
    EXPECT_EQ(c.unplugAfter, 5);
    EXPECT_EQ(c.usbDevices, 3u);
    EXPECT_EQ(c.usbSilent, (std::vector<uint32_t>{0, 2}));
    EXPECT_EQ(c.usbRejectedBauds, std::vector<uint32_t>{625000});
}

TEST(Config, EscapesInTexts) {
    Config c = Config::fromText("banner = A\\x4B\\t\\\\\\0z\n");
    EXPECT_EQ(c.banner, std::string("AK\t\\\0z", 6));
}

TEST(Config, ErrorsNameLineKeyAndValue) {
    struct Case {
        const char* text;
        const char* message;
    } cases[] = {
        {"baud = 1\nbogus = 1", "line 2: unknown key 'bogus'"},
        {"baud = fast", "line 1: bad value for 'baud': 'fast'"},
        {"baud = -5", "bad value for 'baud'"},
        {"banner_nul = maybe", "bad value for 'banner_nul': 'maybe' (expected true or false)"},
        {"firmware = 1.5", "bad value for 'firmware'"},
        {"firmware = 1.5.300", "bad value for 'firmware'"},
        {"native_bitmask = 0x10000", "bad value for 'native_bitmask'"},
        {"reset_dtr = high", "expected set or clear"},
        {"device = 0x51", "expected even 8-bit addresses"},
        {"device = 0x2A", "two devices at address 0x2A"},
        {"i2c_speed = 0x100", "bad value for 'i2c_speed'"},
        {"fault = explode", "bad value for 'fault'"},
        {"banner = \\q", "known escape"},
        {"banner = \\x4", "two hex digits"},
        {"just words", "line 1: expected 'key = value'"},
        {"usb.devices = 17", "bad value for 'usb.devices'"},
    };
    for (const auto& c : cases) {
        try {
            Config::fromText(c.text);
            ADD_FAILURE() << "accepted: " << c.text;
        } catch (const ConfigError& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos)
                << c.text << " -> " << e.what();
        }
    }
}

TEST(Config, SetTakesOneSetting) {
    Config c;
    c.set("latency_us", "250");
    EXPECT_EQ(c.latencyUs, 250u);
    EXPECT_THROW(c.set("latency-us", "1"), ConfigError);
}

TEST(Config, FromFile) {
    char path[] = "/tmp/podsim-config-XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    { std::ofstream(path) << "baud = 19200\n"; }
    EXPECT_EQ(Config::fromFile(path).baud, 19200u);
    { std::ofstream(path) << "\nbaud = x\n"; }
    try {
        Config::fromFile(path);
        ADD_FAILURE();
    } catch (const ConfigError& e) {
        EXPECT_EQ(std::string(e.what()).find(std::string(path) + ": line 2:"), 0u) << e.what();
    }
    std::remove(path);
    EXPECT_THROW(Config::fromFile(path), ConfigError);
}

TEST(Config, EveryKeyIsDocumented) {
    std::ifstream doc(PODSIM_SOURCE_DIR "/docs/SIMULATOR.md");
    ASSERT_TRUE(doc) << "docs/SIMULATOR.md missing";
    std::stringstream text;
    text << doc.rdbuf();
    for (const auto& [key, help] : Config::keys()) {
        EXPECT_NE(text.str().find("`" + key + "`"), std::string::npos) << key;
        EXPECT_FALSE(help.empty()) << key;
    }
}

} // namespace
