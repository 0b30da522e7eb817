// Reply shapes every transaction must refuse: one byte short, one byte long,
// a wrong completion byte in each position. Each leaves the outputs as they
// were, says so in the listing, and the next transaction works.
#include "SMBusOps.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>

namespace bus {
namespace {

struct ShapeCase {
    std::string name;
    // Runs the transaction; true when it failed and left its outputs alone.
    std::function<bool()> refused;
    unsigned write;                          // the host write whose reply is damaged
    size_t length;                           // that reply's length
    std::vector<size_t> completions;         // its positions that are checked
    bool shortCase;                          // one byte short (waits for the read time-out)
    bool longCase;                           // one byte long
    const char* failure;                     // the listing's failure text
    std::function<void()> arrange = nullptr; // runs before the reply is damaged
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

// What each transaction must leave when refused.
bool BlockWriteRefused(uint32_t(RERODADA_CALL* write)(uint8_t, uint8_t, uint32_t, const uint8_t*)) {
    return write(0xA0, 0x81, 2, kData) == 0;
}
bool BlockReadRefused(uint32_t(RERODADA_CALL* read)(uint8_t, uint8_t, uint8_t*, uint8_t*, uint32_t),
                      uint8_t countAfter) {
    return read(0xA0, 0x81, &gCount, gByte, 4) == 0 && gCount == countAfter && BytesUntouched();
}
bool WriteAndReadRefused(uint32_t(RERODADA_CALL* writeRead)(uint8_t, uint32_t, uint32_t,
                                                            const uint8_t*, uint8_t*, uint32_t*),
                         uint32_t reads) {
    return writeRead(0xA0, 1, reads, &kCommand, gByte, &gReceived) == 0 && gReceived == 0 &&
           BytesUntouched();
}
bool GroupRefused() {
    const uint8_t addresses[3] = {0xA0, 0x10, 0x18}, counts[3] = {2, 2, 2}, pec[3] = {0, 0, 0};
    const uint8_t* data[3] = {kData, kData, kData};
    return BrimPMBusGroupCommand(3, addresses, counts, pec, data) == 0;
}

const std::vector<ShapeCase>& Cases() {
    const auto writePortable = [] { return BlockWriteRefused(BrimSMBusWriteBlock_portable); };
    const auto writeNative = [] { return BlockWriteRefused(BrimSMBusWriteBlock_native); };
    const auto readPortable = [] { return BlockReadRefused(BrimSMBusReadBlock_portable, 0xEE); };
    const auto readNative = [] { return BlockReadRefused(BrimSMBusReadBlock_native, 0); };
    const auto readPecNative = [] { return BlockReadRefused(BrimSMBusReadBlockPEC_native, 0); };
    const auto wrPortable = [] {
        return WriteAndReadRefused(BrimI2CWriteAndReadBytes_portable, 1);
    };
    const auto wrNative = [] { return WriteAndReadRefused(BrimI2CWriteAndReadBytes_native, 2); };
    const auto spiPortable = [] { return BrimSpiTransfer_portable(2, kData, gByte) == 0; };
    const auto spiNative = [] {
        return BrimSpiTransfer_native(2, kData, gByte) == 0 && BytesUntouched();
    };
    const auto i2cSpeed = [] { return BrimI2CSetSpeed(0x30) == 0; };
    const auto spiSpeed = [] { return BrimSPISetSpeed(0x14) == 0; };
    // Name, check, damaged write, its reply's length, checked positions,
    // short case, long case, failure text.
    static const std::vector<ShapeCase> cases = {
        {"WriteBlockPortable", writePortable, 0, 7, {0, 1, 2, 3, 4, 5, 6}, true, true, "FAILED"},
        {"WriteBlockNative", writeNative, 0, 1, {0}, true, true, "FAILED"},
        // The head of a portable block read (through the count byte), then its
        // second data byte's own exchange.
        {"ReadBlockPortableHead", readPortable, 0, 7, {0, 1, 2, 3, 4, 6}, true, true, "FAILED"},
        {"ReadBlockPortableData", readPortable, 2, 2, {1}, false, true, "FAILED"},
        // The count byte, the data and a status byte: nothing to compare, but
        // the length must agree with the count.
        {"ReadBlockNative", readNative, 0, 6, {}, true, false, "FAILED"},
        {"ReadBlockPecNative", readPecNative, 0, 7, {}, true, false, "FAILED"},
        // Write-then-read, one exchange per command: start, address, command,
        // repeated start, address, read, stop.
        {"WriteAndReadPortableAddress", wrPortable, 1, 1, {0}, false, true, "FAILED"},
        {"WriteAndReadPortableRestart", wrPortable, 3, 1, {0}, false, false, "FAILED"},
        {"WriteAndReadPortableRead", wrPortable, 5, 2, {1}, true, true, "FAILED"},
        {"WriteAndReadPortableStop", wrPortable, 6, 1, {0}, false, false, "FAILED"},
        {"WriteAndReadNative", wrNative, 0, 3, {2}, true, true, "FAILED"},
        {"GroupCommand", GroupRefused, 0, 3, {0, 1, 2}, true, true, "FAIL: BrimPMBusGroupCommand"},
        {"SpiTransferPortable", spiPortable, 0, 4, {1, 3}, true, true, "FAILED"},
        {"SpiTransferNative", spiNative, 0, 3, {2}, true, true, "FAILED"},
        {"SpiByte", [] { return BrimSpiByte(0x55) == 0; }, 0, 2, {1}, false, true, ""},
        {"I2CSetSpeed", i2cSpeed, 0, 2, {0, 1}, false, true, "FAILED"},
        {"SPISetSpeed", spiSpeed, 0, 2, {0, 1}, false, true, "FAILED"},
    };
    static const std::vector<ShapeCase> all = [] {
        std::vector<ShapeCase> list = cases;
        // Each SMBus operation in both forms: portable replies are checked at
        // every completion byte, native ones at their final 0xB0.
        for (const SmbusOp& op : Ops()) {
            for (Form form : {kPortable, kNative}) {
                std::vector<size_t> dataPlaces, completions;
                const size_t length = form == kPortable
                                          ? PortableReply(op.portable, &dataPlaces).size()
                                          : NativeReplyLength(op.native);
                for (size_t at = form == kPortable ? 0 : length - 1; at < length; ++at)
                    if (std::find(dataPlaces.begin(), dataPlaces.end(), at) == dataPlaces.end())
                        completions.push_back(at);
                auto refused = [&op, form] {
                    uint32_t out = op.sentinel;
                    return op.call(form, out) == 0 && out == op.sentinel;
                };
                list.push_back({op.name + std::string(form == kPortable ? "Portable" : "Native"),
                                refused, 0, length, completions, true, true, "FAILED", op.arrange});
            }
        }
        return list;
    }();
    return all;
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
        SCOPED_TRACE(c.name + ": " + what);
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
    auto arrange = [&c] {
        if (c.arrange) c.arrange();
    };
    if (c.shortCase) {
        arrange();
        DamageReply(c.write, podsim::FaultKind::Cut, static_cast<uint32_t>(c.length - 1));
        ExpectRefused(c, "one byte short");
    }
    if (c.longCase) {
        arrange();
        DamageReply(c.write, podsim::FaultKind::Noise, 1);
        ExpectRefused(c, "one byte long");
    }
    for (size_t at : c.completions) {
        arrange();
        CorruptReply(c.write, static_cast<unsigned>(at));
        ExpectRefused(c, "wrong byte at " + std::to_string(at));
    }
}

INSTANTIATE_TEST_SUITE_P(EveryTransaction, ReplyShape, testing::Range<size_t>(0, Cases().size()),
                         [](const testing::TestParamInfo<size_t>& info) {
                             return Cases()[info.param].name;
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
