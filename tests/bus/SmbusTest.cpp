// SMBus transactions in their portable and native forms on each firmware, and
// every reply shape a transaction must refuse.
#include "Bus.h"

#include <algorithm>
#include <cstring>
#include <functional>

namespace bus {
namespace {

struct Op {
    const char* name;
    uint8_t address;
    Bytes writes;
    size_t reads;
    uint32_t output; // 0 for a writing operation
    // A byte output goes to b, a word output to w.
    uint32_t (*call)(Form, uint8_t* b, uint16_t* w);
    bool quick = false;
};

#define BUS_OP(fn, ...)                                                                            \
    [](Form f, [[maybe_unused]] uint8_t* b, [[maybe_unused]] uint16_t* w) {                        \
        return BUS_FORMS(BrimSMBus##fn)[f](__VA_ARGS__);                                           \
    }

// 0x2A is the RAR4120E; the device at 0xA0 answers a process call with the
// word XOR 0xFFFF. ReceiveByte runs after SendByte left the pointer at 3; an
// odd address reads with the write phase's address even.
const Op kOps[] = {
    {"QuickWrite", 0xA0, {}, 0, 0, BUS_OP(Quick, 0xA0), true},
    {"QuickRead", 0xA1, {}, 1, 0, BUS_OP(Quick, 0xA1), true},
    {"SendByte", 0x2A, {0x03}, 0, 0, BUS_OP(SendByte, 0x2A, 0x03)},
    {"ReceiveByte", 0x2A, {}, 1, 0x6C, BUS_OP(ReceiveByte, 0x2A, b)},
    {"WriteByte", 0x2A, {0x04, 0x5A}, 0, 0, BUS_OP(WriteByte, 0x2A, 0x04, 0x5A)},
    {"WriteWord", 0xA0, {0x10, 0x34, 0x12}, 0, 0, BUS_OP(WriteWord, 0xA0, 0x10, 0x1234)},
    {"ReadByte", 0x2A, {0x00}, 1, 0x12, BUS_OP(ReadByte, 0x2B, 0x00, b)},
    {"ReadWord", 0xA0, {0x05}, 2, 0x1234, BUS_OP(ReadWord, 0xA0, 0x05, w)},
    {"ProcessCall", 0xA0, Bytes{0xC1, 0x34, 0x12}, 2, 0xEDCB,
     BUS_OP(ProcessCall, 0xA0, 0xC1, 0x1234, w)},
};

Bytes Native(const Op& op) {
    if (op.quick) return {0xA0, 0x03, op.address};
    Bytes frame{0xA0, 0x05, uint8_t(op.writes.size()), uint8_t(op.reads), op.address};
    frame.insert(frame.end(), op.writes.begin(), op.writes.end());
    return frame;
}

// Runs an operation with its outputs at 0xEE / 0xEEEE; returns its result
// and sets out to the output it names (or the byte, for a writing one).
uint32_t RunOp(const Op& op, Form form, uint32_t* out) {
    uint8_t b = 0xEE;
    uint16_t w = 0xEEEE;
    const uint32_t result = op.call(form, &b, &w);
    *out = op.output > 0xFF ? w : b;
    return result;
}

TEST(Probe, FindsTheBoardAndReportsTheConfiguredNativeCommands) {
    const std::tuple<std::string, const char*, int> cases[] = {
        {kAllNative, "17ff", 1},
        {kWriteReadOnly, "0023", 1},
        {kFlagOnly, "0003", 1},
        {kNoNative, "0003", 0},
        // A board reset by the other DTR level is found all the same.
        {"reset_dtr = clear\nnative_bitmask = 0x0023\n", "0023", 1},
    };
    for (const auto& [config, bitmask, native] : cases) {
        UseBoard(config);
        EXPECT_NE(gConnectListing.find(std::string("nBrimNativeSMBusCommandsBitmask=0x") + bitmask),
                  std::string::npos)
            << config;
        EXPECT_EQ(BrimSupportsNativeSMBusCommands(), native) << config;
    }
}

TEST(SmbusForms, EachFormSendsItsStringsOnEachFirmware) {
    enum Sends { kNone, kAll, kQuickOnly }; // which operations send their native string
    const std::tuple<std::string, Form, Sends> cases[] = {
        {kNoNative, kDispatch, kNone},
        // A native form without its bit falls back to the portable string.
        {kNoNative, kNative, kNone},
        {kFlagOnly, kDispatch, kNone},
        {kAllNative, kDispatch, kAll},
        {kAllNative, kPortable, kNone},
        // Each native command follows its own bit: here the quick command's only.
        {"native_bitmask = 0x000B\ndevice = 0x18 0x10\n", kDispatch, kQuickOnly},
    };
    for (const auto& [config, form, native] : cases) {
        UseBoard(config);
        for (const Op& op : kOps) {
            SCOPED_TRACE(config + op.name + " in form " + std::to_string(form));
            ArrangeDevices();
            Clear();
            uint32_t out = 0;
            ASSERT_EQ(RunOp(op, form, &out), 1u);
            const bool nativeString = native == kAll || (native == kQuickOnly && op.quick);
            EXPECT_EQ(Sent(),
                      nativeString ? Native(op) : Portable(op.address, op.writes, op.reads));
            if (op.output) {
                EXPECT_EQ(out, op.output);
            }
            // Only what reads a value lists it.
            EXPECT_EQ(Has("received 0x"), op.output != 0);
            EXPECT_FALSE(Has("FAILED"));
        }
    }
}

TEST(SmbusForms, ListingAlertResponseWriteToHostAndTheWriteReadQuickCommand) {
    UseBoard(kAllNative);
    ArrangeDevices();
    uint16_t w = 0;
    uint8_t b = 0;
    ASSERT_EQ(BrimSMBusReadWord(0xA0, 0x05, &w), 1u);
    ASSERT_EQ(BrimSMBusReadByte_portable(0x2A, 0x00, &b), 1u);
    ASSERT_EQ(BrimSMBusWriteWord(0xA0, 0x10, 0x1234), 1u);
    for (const char* line :
         {"BrimSMBusReadWord_native(addr=0xa0, cmd=0x05)", "received 0x1234 = 4660",
          "BrimSMBusReadByte_portable(addr=0x2a, cmd=0x00)", "received 0x12 = 18",
          "BrimSMBusWriteWord_native(addr=0xa0, cmd=0x10, data=0x1234)"})
        EXPECT_TRUE(Has(line)) << line;
    Clear();
    ASSERT_EQ(BrimSMBusWriteToHost(0x00, 0x4242), 1u);
    ASSERT_EQ(BrimSMBusAlertResponse(&b), 1u);
    EXPECT_EQ(Sent(), (Bytes{0xA0, 0x05, 0x03, 0x00, 0x10, 0x00, 0x42, 0x42, //
                             0xA0, 0x05, 0x00, 0x01, 0x18}));
    EXPECT_EQ(Sim().memoryByte(0x10, 0x01), 0x42);
    // Without the quick command's bit: a write-then-read of nothing, bit 0 cleared.
    UseBoard(kWriteReadOnly);
    BrimSMBusQuick(0x51);
    EXPECT_EQ(BrimSMBusQuick(0xA0), 1u);
    EXPECT_EQ(Sent(), (Bytes{0xA0, 0x05, 0x00, 0x00, 0x50, 0xA0, 0x05, 0x00, 0x00, 0xA0}));
}

// Reply shapes every transaction must refuse: one byte short, one byte long,
// a wrong completion byte (0xB0 to 0xBF) at each place. Each leaves the
// outputs alone, says so in the listing, and the next transaction works.
enum Damage { kCut = 1, kLong = 2, kFlip = 4, kEvery = 7 };

struct Shape {
    std::string name;
    std::function<bool()> refused; // failed and left its outputs alone
    unsigned write;                // the host write whose reply is damaged
    int damage;
    const char* failure = "FAILED";
};

uint8_t gByte[8], gCount;
uint32_t gReceived;
const uint8_t kData[2] = {0x11, 0x22};

bool Untouched() {
    return std::all_of(gByte, gByte + 8, [](uint8_t b) { return b == 0xEE; });
}

template <typename Fn> std::function<bool()> BlockRead(Fn fn, uint8_t countAfter) {
    return [=] {
        return fn(0xA0, 0x81, &gCount, gByte, 4) == 0 && gCount == countAfter && Untouched();
    };
}

template <typename Fn> std::function<bool()> WriteRead(Fn fn, uint32_t reads) {
    return [=] {
        static const uint8_t command = 0x05;
        return fn(0xA0, 1, reads, &command, gByte, &gReceived) == 0 && gReceived == 0 &&
               Untouched();
    };
}

const std::vector<Shape>& Shapes() {
    static const std::vector<Shape> all = [] {
        const auto wr = WriteRead(BrimI2CWriteAndReadBytes_portable, 1);
        std::vector<Shape> list = {
            {"WriteBlockPortable",
             [] { return !BrimSMBusWriteBlock_portable(0xA0, 0x81, 2, kData); }, 0, kEvery},
            {"WriteBlockNative", [] { return !BrimSMBusWriteBlock_native(0xA0, 0x81, 2, kData); },
             0, kEvery},
            // A portable block read's head (through the count byte), then the
            // exchange of its second data byte.
            {"ReadBlockPortableHead", BlockRead(BrimSMBusReadBlock_portable, 0xEE), 0, kEvery},
            {"ReadBlockPortableData", BlockRead(BrimSMBusReadBlock_portable, 0xEE), 2,
             kLong | kFlip},
            // Native block replies' length must agree with their count.
            {"ReadBlockNative", BlockRead(BrimSMBusReadBlock_native, 0), 0, kCut},
            {"ReadBlockPecNative", BlockRead(BrimSMBusReadBlockPEC_native, 0), 0, kCut},
            // Portable write-then-read: one exchange per command.
            {"WriteAndReadPortableAddress", wr, 1, kLong | kFlip},
            {"WriteAndReadPortableRestart", wr, 3, kFlip},
            {"WriteAndReadPortableRead", wr, 5, kEvery},
            {"WriteAndReadPortableStop", wr, 6, kFlip},
            {"WriteAndReadNative", WriteRead(BrimI2CWriteAndReadBytes_native, 2), 0, kEvery},
            {"GroupCommand", [] { return !ThreeDevices(); }, 0, kEvery,
             "FAIL: BrimPMBusGroupCommand"},
            {"SpiTransferPortable", [] { return !BrimSpiTransfer_portable(2, kData, gByte); }, 0,
             kEvery},
            {"SpiTransferNative",
             [] { return !BrimSpiTransfer_native(2, kData, gByte) && Untouched(); }, 0, kEvery},
            {"SpiByte", [] { return BrimSpiByte(0x55) == 0; }, 0, kLong | kFlip, ""},
            {"I2CSetSpeed", [] { return !BrimI2CSetSpeed(0x30); }, 0, kLong | kFlip},
            {"SPISetSpeed", [] { return !BrimSPISetSpeed(0x14); }, 0, kLong | kFlip},
        };
        for (const Op& op : kOps)
            for (Form form : {kPortable, kNative})
                list.push_back({op.name + std::string(form == kPortable ? "Portable" : "Native"),
                                [&op, form] {
                                    uint32_t out = 0;
                                    return RunOp(op, form, &out) == 0 &&
                                           (out == 0xEE || out == 0xEEEE);
                                },
                                0, kEvery});
        return list;
    }();
    return all;
}

class ReplyShape : public testing::TestWithParam<size_t> {};

TEST_P(ReplyShape, IsRefused) {
    const Shape& c = Shapes()[GetParam()];
    UseBoard(kAllNative);
    // The probe's native SPI state, whatever earlier transfers learnt, and a
    // first transfer that settles the SPI mode.
    BrimSupportsNativeSMBusCommands();
    BrimSpiConfigCSPin(9);
    BrimSpiConfigCSPinActiveHigh(0);
    ArrangeDevices();
    Sim().setSmbusBlock(0xA0, 0x81, {0x01, 0x02, 0x03, 0x04});
    uint8_t miso[2];
    BrimSpiTransfer_portable(2, kData, miso);
    BrimSMBusSendByte_portable(0x2A, 0x03);
    Sim().clearTraffic();
    c.refused();
    const std::vector<Bytes> clean = Replies();
    ASSERT_GT(clean.size(), c.write);
    const Bytes& reply = clean[c.write];
    auto expectRefused = [&](const std::string& what, const Bytes& damaged) {
        SCOPED_TRACE(c.name + ": " + what);
        std::vector<Bytes> replies = clean;
        replies[c.write] = damaged;
        std::memset(gByte, 0xEE, sizeof gByte);
        gCount = 0xEE;
        gReceived = 0xEE;
        gListing.clear();
        Sim().setScriptedReplies(replies);
        EXPECT_TRUE(c.refused());
        EXPECT_TRUE(Has(c.failure)) << gListing;
        Sim().clearScriptedReplies();
        uint8_t v = 0;
        EXPECT_EQ(BrimSMBusReadByte(0x2A, 0x00, &v), 1u);
        EXPECT_EQ(v, 0x12);
    };
    if (c.damage & kCut) expectRefused("one byte short", Bytes(reply.begin(), reply.end() - 1));
    if (c.damage & kLong) {
        Bytes longer = reply;
        longer.push_back(0xB0);
        expectRefused("one byte long", longer);
    }
    for (size_t at = 0; at < reply.size() && (c.damage & kFlip); ++at) {
        if ((reply[at] & 0xF0) != 0xB0) continue;
        Bytes wrong = reply;
        wrong[at] ^= 0x01;
        expectRefused("wrong byte at " + std::to_string(at), wrong);
    }
}

INSTANTIATE_TEST_SUITE_P(EveryTransaction, ReplyShape, testing::Range<size_t>(0, Shapes().size()),
                         [](const testing::TestParamInfo<size_t>& info) {
                             return Shapes()[info.param].name;
                         });

} // namespace
} // namespace bus
