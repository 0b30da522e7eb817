// Reply shapes the block, write-then-read, group, SPI and speed transactions
// must refuse: one byte short, one byte long, a wrong completion byte in each
// position. Each leaves the outputs as they were, says so in the listing, and
// the next transaction works.
#include "BusBoard.h"

#include "rerodada.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

namespace bus {
namespace {

struct ShapeCase {
    const char* name;
    // Runs the transaction; true when it failed and left its outputs alone.
    std::function<bool()> refused;
    unsigned write;                  // the host write whose reply is damaged
    size_t length;                   // that reply's length
    std::vector<size_t> completions; // its positions that are checked
    bool shortCase;                  // one byte short (waits for the read time-out)
    bool longCase;                   // one byte long
    const char* failure;             // the listing's failure text
};

uint8_t gByte[8];
uint8_t gCount;
uint32_t gReceived;

void Sentinels() {
    memset(gByte, 0xEE, sizeof gByte);
    gCount = 0xEE;
    gReceived = 0xEE;
}

bool BytesUntouched() {
    for (uint8_t b : gByte)
        if (b != 0xEE) return false;
    return true;
}

const uint8_t kData[2] = {0x11, 0x22};
const uint8_t kCommand = 0x05;

const std::vector<ShapeCase>& Cases() {
    static const std::vector<ShapeCase> cases = {
        {"WriteBlockPortable",
         [] { return BrimSMBusWriteBlock_portable(0xA0, 0x81, 2, kData) == 0; },
         0,
         7,
         {0, 1, 2, 3, 4, 5, 6},
         true,
         true,
         "FAILED"},
        {"WriteBlockNative",
         [] { return BrimSMBusWriteBlock_native(0xA0, 0x81, 2, kData) == 0; },
         0,
         1,
         {0},
         true,
         true,
         "FAILED"},
        // The head of a portable block read: through the count byte.
        {"ReadBlockPortableHead",
         [] {
             return BrimSMBusReadBlock_portable(0xA0, 0x81, &gCount, gByte, 4) == 0 &&
                    gCount == 0xEE && BytesUntouched();
         },
         0,
         7,
         {0, 1, 2, 3, 4, 6},
         true,
         true,
         "FAILED"},
        // Its second data byte's own exchange.
        {"ReadBlockPortableData",
         [] {
             return BrimSMBusReadBlock_portable(0xA0, 0x81, &gCount, gByte, 4) == 0 &&
                    gCount == 0xEE && BytesUntouched();
         },
         2,
         2,
         {1},
         false,
         true,
         "FAILED"},
        // The count byte, the data and a status byte: nothing to compare, but
        // the length must agree with the count.
        {"ReadBlockNative",
         [] {
             return BrimSMBusReadBlock_native(0xA0, 0x81, &gCount, gByte, 4) == 0 && gCount == 0 &&
                    BytesUntouched();
         },
         0,
         6,
         {},
         true,
         false,
         "FAILED"},
        {"ReadBlockPecNative",
         [] {
             return BrimSMBusReadBlockPEC_native(0xA0, 0x81, &gCount, gByte, 4) == 0 &&
                    gCount == 0 && BytesUntouched();
         },
         0,
         7,
         {},
         true,
         false,
         "FAILED"},
        // Write-then-read, one exchange per command: start, address, command,
        // repeated start, address, read, stop.
        {"WriteAndReadPortableAddress",
         [] {
             return BrimI2CWriteAndReadBytes_portable(0xA0, 1, 1, &kCommand, gByte, &gReceived) ==
                        0 &&
                    gReceived == 0 && BytesUntouched();
         },
         1,
         1,
         {0},
         false,
         true,
         "FAILED"},
        {"WriteAndReadPortableRestart",
         [] {
             return BrimI2CWriteAndReadBytes_portable(0xA0, 1, 1, &kCommand, gByte, &gReceived) ==
                        0 &&
                    gReceived == 0 && BytesUntouched();
         },
         3,
         1,
         {0},
         false,
         false,
         "FAILED"},
        {"WriteAndReadPortableRead",
         [] {
             return BrimI2CWriteAndReadBytes_portable(0xA0, 1, 1, &kCommand, gByte, &gReceived) ==
                        0 &&
                    gReceived == 0 && BytesUntouched();
         },
         5,
         2,
         {1},
         true,
         true,
         "FAILED"},
        {"WriteAndReadPortableStop",
         [] {
             return BrimI2CWriteAndReadBytes_portable(0xA0, 1, 1, &kCommand, gByte, &gReceived) ==
                        0 &&
                    gReceived == 0 && BytesUntouched();
         },
         6,
         1,
         {0},
         false,
         false,
         "FAILED"},
        {"WriteAndReadNative",
         [] {
             return BrimI2CWriteAndReadBytes_native(0xA0, 1, 2, &kCommand, gByte, &gReceived) ==
                        0 &&
                    gReceived == 0 && BytesUntouched();
         },
         0,
         3,
         {2},
         true,
         true,
         "FAILED"},
        {"GroupCommand",
         [] {
             const uint8_t addresses[3] = {0xA0, 0x10, 0x18}, counts[3] = {2, 2, 2},
                           pec[3] = {0, 0, 0};
             const uint8_t* data[3] = {kData, kData, kData};
             return BrimPMBusGroupCommand(3, addresses, counts, pec, data) == 0;
         },
         0,
         3,
         {0, 1, 2},
         true,
         true,
         "FAIL: BrimPMBusGroupCommand"},
        {"SpiTransferPortable",
         [] { return BrimSpiTransfer_portable(2, kData, gByte) == 0; },
         0,
         4,
         {1, 3},
         true,
         true,
         "FAILED"},
        {"SpiTransferNative",
         [] { return BrimSpiTransfer_native(2, kData, gByte) == 0 && BytesUntouched(); },
         0,
         3,
         {2},
         true,
         true,
         "FAILED"},
        {"SpiByte", [] { return BrimSpiByte(0x55) == 0; }, 0, 2, {1}, false, true, ""},
        {"I2CSetSpeed",
         [] { return BrimI2CSetSpeed(0x30) == 0; },
         0,
         2,
         {0, 1},
         false,
         true,
         "FAILED"},
        {"SPISetSpeed",
         [] { return BrimSPISetSpeed(0x14) == 0; },
         0,
         2,
         {0, 1},
         false,
         true,
         "FAILED"},
    };
    return cases;
}

class ReplyShape : public testing::TestWithParam<size_t> {
  protected:
    void SetUp() override {
        UseBoard(kAllNative);
        // The probe's native SPI state, whatever earlier portable transfers learnt.
        BrimSupportsNativeSMBusCommands();
        BrimSpiConfigCSPin(9);
        BrimSpiConfigCSPinActiveHigh(0);
        ArrangeDevices();
        // A first transfer settles the SPI mode, so later ones send no control byte.
        uint8_t miso[2];
        BrimSpiTransfer_portable(2, kData, miso);
    }

    void ExpectRefused(const ShapeCase& c, const std::string& what) {
        SCOPED_TRACE(std::string(c.name) + ": " + what);
        Sentinels();
        EXPECT_TRUE(c.refused());
        EXPECT_NE(Listing().find(c.failure), std::string::npos) << Listing();
        Sim().clearFault();
        ClearListing();
        uint8_t v = 0;
        EXPECT_EQ(BrimSMBusReadByte(0x2A, 0x00, &v), 1u);
        EXPECT_EQ(v, 0x12);
        ClearListing();
    }

    void DamageReply(unsigned write, podsim::FaultKind kind, uint32_t bytes) {
        podsim::Fault f;
        f.kind = kind;
        f.bytes = bytes;
        f.after = write;
        f.times = 1;
        Sim().setFault(f);
    }
};

TEST_P(ReplyShape, IsRefused) {
    const ShapeCase& c = Cases()[GetParam()];
    Sim().setSmbusBlock(0xA0, 0x81, {0x01, 0x02, 0x03, 0x04});
    ClearListing();
    if (c.shortCase) {
        DamageReply(c.write, podsim::FaultKind::Cut, static_cast<uint32_t>(c.length - 1));
        ExpectRefused(c, "one byte short");
    }
    if (c.longCase) {
        DamageReply(c.write, podsim::FaultKind::Noise, 1);
        ExpectRefused(c, "one byte long");
    }
    for (size_t at : c.completions) {
        CorruptReply(c.write, static_cast<unsigned>(at));
        ExpectRefused(c, "wrong byte at " + std::to_string(at));
    }
}

INSTANTIATE_TEST_SUITE_P(EveryTransaction, ReplyShape, testing::Range<size_t>(0, 17),
                         [](const testing::TestParamInfo<size_t>& info) {
                             return std::string(Cases()[info.param].name);
                         });

TEST(ReplyShapeExtra, NativeBlockReadWhoseCountDisagreesWithItsLength) {
    UseBoard(kAllNative);
    Sim().setSmbusBlock(0xA0, 0x81, {0x01, 0x02, 0x03, 0x04});
    // A count of 3 for a reply that carries 4 data bytes.
    CorruptReply(0, 0, 0x07);
    uint8_t count = 0xEE;
    uint8_t buffer[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    EXPECT_EQ(BrimSMBusReadBlock_native(0xA0, 0x81, &count, buffer, 4), 0u);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(buffer[0], 0xEE);
}

TEST(ReplyShapeExtra, FailedPortableBlockReadStillReleasesTheBus) {
    UseBoard(kAllNative);
    Sim().setSmbusBlock(0xA0, 0x81, {0x01, 0x02, 0x03, 0x04});
    CorruptReply(1, 1);
    uint8_t count = 0xEE;
    uint8_t buffer[4];
    EXPECT_EQ(BrimSMBusReadBlock_portable(0xA0, 0x81, &count, buffer, 4), 0u);
    const Bytes sent = Sent();
    ASSERT_GE(sent.size(), 2u);
    EXPECT_EQ(Bytes(sent.end() - 2, sent.end()), (Bytes{0xA3, 0x00}));
    EXPECT_EQ(Sim().hostWrites(), 3u);
}

} // namespace
} // namespace bus
