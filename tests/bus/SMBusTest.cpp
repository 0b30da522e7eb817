// SMBus transactions in their portable and native forms on each firmware:
// the bytes sent, the reply accepted, the outputs, the fallbacks and the
// listing. Wrong replies to them are in ReplyShapeTest.cpp.
#include "SMBusOps.h"

#include "rerodada.h"

#include <gtest/gtest.h>

namespace bus {
namespace {

TEST(Probe, FindsTheBoardAndReportsTheConfiguredNativeCommands) {
    const struct {
        const char* config;
        unsigned bitmask;
        bool native;
    } cases[] = {
        {kAllNative, 0x17FF, true},
        {kWriteReadOnly, 0x0023, true},
        {kFlagOnly, 0x0003, true},
        // Firmware without the query is portable only.
        {kNoNative, 0x0003, false},
        // A board reset by the other DTR level is found all the same.
        {"reset_dtr = clear\nnative_bitmask = 0x0023\ndevice = 0x18 0x10\n", 0x0023, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.config);
        UseBoard(c.config);
        EXPECT_EQ(ProbedBitmask(), c.bitmask);
        EXPECT_EQ(BrimSupportsNativeSMBusCommands(), c.native ? 1 : 0);
    }
}

// Runs one operation in one form and checks what went out and what came back.
void ExpectTransaction(const SmbusOp& op, Form form, bool native) {
    SCOPED_TRACE(std::string(op.name) + " " + FormName(form));
    ArrangeDevices();
    op.arrange();
    ClearTraffic();
    ClearListing();
    uint32_t out = op.sentinel;
    ASSERT_EQ(op.call(form, out), 1u);
    EXPECT_EQ(Sent(), native ? op.native : op.portable);
    if (op.output != kNoOutput) {
        EXPECT_EQ(out, op.output);
        EXPECT_NE(Listing().find("received 0x"), std::string::npos);
    }
    EXPECT_EQ(Listing().find("FAILED"), std::string::npos);
    op.verify();
}

TEST(SmbusForms, EachFormSendsItsStringsOnEachFirmware) {
    const struct {
        const char* config;
        Form form;
        bool native;
    } cases[] = {
        {kNoNative, kDispatch, false},
        // A native form without its bit falls back to the portable string.
        {kNoNative, kNative, false},
        {kFlagOnly, kDispatch, false},
        {kAllNative, kDispatch, true},
        {kAllNative, kPortable, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.config);
        UseBoard(c.config);
        for (const auto& op : Ops())
            ExpectTransaction(op, c.form, c.native);
    }
}

class NativeBoard : public BoardTest {};

TEST_F(NativeBoard, ListingNamesTheFormAndItsArguments) {
    ArrangeDevices();
    uint16_t w = 0;
    ASSERT_EQ(BrimSMBusReadWord(0xA0, 0x05, &w), 1u);
    EXPECT_NE(Listing().find("BrimSMBusReadWord_native(addr=0xa0, cmd=0x05)"), std::string::npos);
    EXPECT_NE(Listing().find("received 0x1234 = 4660"), std::string::npos);
    ClearListing();
    uint8_t b = 0;
    ASSERT_EQ(BrimSMBusReadByte_portable(0x2A, 0x00, &b), 1u);
    EXPECT_NE(Listing().find("BrimSMBusReadByte_portable(addr=0x2a, cmd=0x00)"), std::string::npos);
    EXPECT_NE(Listing().find("received 0x12 = 18"), std::string::npos);
    ClearListing();
    ASSERT_EQ(BrimSMBusWriteWord(0xA0, 0x10, 0x1234), 1u);
    EXPECT_NE(Listing().find("BrimSMBusWriteWord_native(addr=0xa0, cmd=0x10, data=0x1234)"),
              std::string::npos);
    EXPECT_EQ(Listing().find("received"), std::string::npos);
}

TEST_F(NativeBoard, AlertResponseAndWriteToHostUseTheirSMBusAddresses) {
    ArrangeDevices();
    ASSERT_EQ(BrimSMBusWriteToHost(0x00, 0x4242), 1u);
    EXPECT_EQ(Sent(), (Bytes{0xA0, 0x05, 0x03, 0x00, 0x10, 0x00, 0x42, 0x42}));
    EXPECT_EQ(Sim().memoryByte(0x10, 0x00), 0x42);
    EXPECT_EQ(Sim().memoryByte(0x10, 0x01), 0x42);
    ClearTraffic();
    uint8_t v = 0;
    ASSERT_EQ(BrimSMBusAlertResponse(&v), 1u);
    EXPECT_EQ(Sent(), (Bytes{0xA0, 0x05, 0x00, 0x01, 0x18}));
}

TEST(WriteReadOnlyBoard, QuickCommandUsesTheWriteThenReadFrame) {
    UseBoard(kWriteReadOnly);
    // A write-quick: the address goes out with bit 0 cleared.
    BrimSMBusQuick(0x51);
    EXPECT_EQ(Sent(), (Bytes{0xA0, 0x05, 0x00, 0x00, 0x50}));
    ClearTraffic();
    EXPECT_EQ(BrimSMBusQuick(0xA0), 1u);
    EXPECT_EQ(Sent(), (Bytes{0xA0, 0x05, 0x00, 0x00, 0xA0}));
}

} // namespace
} // namespace bus
