// SMBus transactions in their portable and native forms: the bytes sent,
// the reply accepted, the outputs, the fallbacks, and every reply shape that
// must be refused.
#include "BusBoard.h"

#include "rerodada.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace bus {
namespace {

constexpr uint32_t kNoOutput = 0xFFFFFFFF;
constexpr uint8_t kByteSentinel = 0xEE;
constexpr uint16_t kWordSentinel = 0xEEEE;

struct SmbusOp {
    const char* name;
    Bytes portable;
    Bytes native;
    // Runs the operation in one form; `out` receives the output variable,
    // which starts as the sentinel.
    std::function<uint32_t(Form, uint32_t& out)> call;
    uint32_t output;   // on success; kNoOutput for writing operations
    uint32_t sentinel; // the output variable's value before the call
    std::function<void()> arrange;
    std::function<void()> verify;
};

uint32_t ReadByteInto(uint32_t(RERODADA_CALL* fn)(uint8_t, uint8_t, uint8_t*), uint8_t a, uint8_t c,
                      uint32_t& out) {
    uint8_t v = kByteSentinel;
    uint32_t r = fn(a, c, &v);
    out = v;
    return r;
}

const std::vector<SmbusOp>& Ops() {
    static const std::vector<SmbusOp> ops = {
        {"QuickWrite",
         {0xA0, 0x00, 0xA1, 0xA0, 0xA3, 0x00},
         {0xA0, 0x03, 0xA0},
         [](Form f, uint32_t&) { return BUS_FORMS(BrimSMBusQuick)[f](0xA0); },
         kNoOutput,
         kNoOutput,
         [] {},
         [] {}},
        {"QuickRead",
         {0xA0, 0x00, 0xA1, 0xA1, 0xA2, 0x00, 0xA3, 0x00},
         {0xA0, 0x03, 0xA1},
         [](Form f, uint32_t&) { return BUS_FORMS(BrimSMBusQuick)[f](0xA1); },
         kNoOutput,
         kNoOutput,
         [] {},
         [] {}},
        {"SendByte",
         {0xA0, 0x00, 0xA1, 0x2A, 0xA1, 0x03, 0xA3, 0x00},
         {0xA0, 0x05, 0x01, 0x00, 0x2A, 0x03},
         [](Form f, uint32_t&) { return BUS_FORMS(BrimSMBusSendByte)[f](0x2A, 0x03); },
         kNoOutput,
         kNoOutput,
         [] {},
         // The register pointer now names register 3.
         [] {
             uint8_t v = 0;
             ASSERT_EQ(BrimSMBusReceiveByte_portable(0x2A, &v), 1u);
             EXPECT_EQ(v, 0x6C);
         }},
        {"ReceiveByte",
         {0xA0, 0x00, 0xA1, 0x2B, 0xA2, 0x00, 0xA3, 0x00},
         {0xA0, 0x05, 0x00, 0x01, 0x2A},
         [](Form f, uint32_t& out) {
             uint8_t v = kByteSentinel;
             uint32_t r = BUS_FORMS(BrimSMBusReceiveByte)[f](0x2A, &v);
             out = v;
             return r;
         },
         0x6C,
         kByteSentinel,
         [] { ASSERT_EQ(BrimSMBusSendByte_portable(0x2A, 0x03), 1u); },
         [] {}},
        {"WriteByte",
         {0xA0, 0x00, 0xA1, 0x2A, 0xA1, 0x04, 0xA1, 0x5A, 0xA3, 0x00},
         {0xA0, 0x05, 0x02, 0x00, 0x2A, 0x04, 0x5A},
         [](Form f, uint32_t&) { return BUS_FORMS(BrimSMBusWriteByte)[f](0x2A, 0x04, 0x5A); },
         kNoOutput,
         kNoOutput,
         [] {},
         [] { EXPECT_EQ(Sim().chipRegister(0x04), 0x5A); }},
        {"WriteWord",
         {0xA0, 0x00, 0xA1, 0xA0, 0xA1, 0x10, 0xA1, 0x34, 0xA1, 0x12, 0xA3, 0x00},
         {0xA0, 0x05, 0x03, 0x00, 0xA0, 0x10, 0x34, 0x12},
         [](Form f, uint32_t&) { return BUS_FORMS(BrimSMBusWriteWord)[f](0xA0, 0x10, 0x1234); },
         kNoOutput,
         kNoOutput,
         [] {},
         [] { EXPECT_EQ(Sim().smbusWord(0xA0, 0x10), 0x1234); }},
        // An odd address: the write phase still sends 0x2A, the read phase 0x2B.
        {"ReadByte",
         {0xA0, 0x00, 0xA1, 0x2A, 0xA1, 0x00, 0xA0, 0x01, 0xA1, 0x2B, 0xA2, 0x00, 0xA3, 0x00},
         {0xA0, 0x05, 0x01, 0x01, 0x2A, 0x00},
         [](Form f, uint32_t& out) {
             return ReadByteInto(BUS_FORMS(BrimSMBusReadByte)[f], 0x2B, 0x00, out);
         },
         0x12,
         kByteSentinel,
         [] {},
         [] {}},
        {"ReadWord",
         {0xA0, 0x00, 0xA1, 0xA0, 0xA1, 0x05, 0xA0, 0x01, 0xA1, 0xA1, 0xA2, 0x01, 0xA2, 0x00, 0xA3,
          0x00},
         {0xA0, 0x05, 0x01, 0x02, 0xA0, 0x05},
         [](Form f, uint32_t& out) {
             uint16_t v = kWordSentinel;
             uint32_t r = BUS_FORMS(BrimSMBusReadWord)[f](0xA0, 0x05, &v);
             out = v;
             return r;
         },
         0x1234,
         kWordSentinel,
         [] {},
         [] {}},
        // The device answers a process call with the word XOR 0xFFFF.
        {"ProcessCall",
         {0xA0, 0x00, 0xA1, 0xA0, 0xA1, 0xC1, 0xA1, 0x34, 0xA1, 0x12,
          0xA0, 0x01, 0xA1, 0xA1, 0xA2, 0x01, 0xA2, 0x00, 0xA3, 0x00},
         {0xA0, 0x05, 0x03, 0x02, 0xA0, 0xC1, 0x34, 0x12},
         [](Form f, uint32_t& out) {
             uint16_t v = kWordSentinel;
             uint32_t r = BUS_FORMS(BrimSMBusProcessCall)[f](0xA0, 0xC1, 0x1234, &v);
             out = v;
             return r;
         },
         0xEDCB,
         kWordSentinel,
         [] {},
         [] {}},
    };
    return ops;
}

// The reply of a portable string: B0 for a start, B1 for a write, d B2 for a
// read, B3 for a stop. Positions of data bytes are returned in dataPlaces.
Bytes PortableReply(const Bytes& sent, std::vector<size_t>* dataPlaces) {
    Bytes reply;
    for (size_t i = 0; i < sent.size(); i += 2) {
        if (sent[i] == 0xA2) {
            dataPlaces->push_back(reply.size());
            reply.push_back(0x00);
        }
        reply.push_back(static_cast<uint8_t>(sent[i] + 0x10));
    }
    return reply;
}

size_t NativeReplyLength(const Bytes& frame) {
    return frame[1] == 0x03 ? 1 : frame[3] + 1u;
}

// Runs one operation in one form and checks what went out and what came back.
void ExpectTransaction(const SmbusOp& op, Form form, const Bytes& expected) {
    SCOPED_TRACE(std::string(op.name) + " " + FormName(form));
    ArrangeDevices();
    op.arrange();
    ClearTraffic();
    ClearListing();
    uint32_t out = op.sentinel;
    ASSERT_EQ(op.call(form, out), 1u);
    EXPECT_EQ(Sent(), expected);
    if (op.output != kNoOutput) {
        EXPECT_EQ(out, op.output);
        EXPECT_NE(Listing().find("received 0x"), std::string::npos);
    }
    EXPECT_EQ(Listing().find("FAILED"), std::string::npos);
    op.verify();
}

class PortableBoard : public BoardTest {
  protected:
    const char* Config() const override { return kNoNative; }
};

TEST_F(PortableBoard, DispatchersSendThePortableStrings) {
    for (const auto& op : Ops())
        ExpectTransaction(op, kDispatch, op.portable);
}

TEST_F(PortableBoard, NativeFormsWithoutTheirBitSendThePortableStrings) {
    for (const auto& op : Ops())
        ExpectTransaction(op, kNative, op.portable);
}

class NativeBoard : public BoardTest {};

TEST_F(NativeBoard, DispatchersSendTheNativeFrames) {
    for (const auto& op : Ops())
        ExpectTransaction(op, kDispatch, op.native);
}

TEST_F(NativeBoard, PortableFormsStayPortable) {
    for (const auto& op : Ops())
        ExpectTransaction(op, kPortable, op.portable);
}

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
    Sim().setMemoryByte(0x18, 0x00, 0x42);
    ASSERT_EQ(BrimSMBusWriteToHost(0x00, 0x4242), 1u);
    EXPECT_EQ(Sent(), (Bytes{0xA0, 0x05, 0x03, 0x00, 0x10, 0x00, 0x42, 0x42}));
    EXPECT_EQ(Sim().memoryByte(0x10, 0x00), 0x42);
    EXPECT_EQ(Sim().memoryByte(0x10, 0x01), 0x42);
    ClearTraffic();
    uint8_t v = 0;
    ASSERT_EQ(BrimSMBusAlertResponse(&v), 1u);
    EXPECT_EQ(Sent(), (Bytes{0xA0, 0x05, 0x00, 0x01, 0x18}));
}

class FlagOnlyBoard : public BoardTest {
  protected:
    const char* Config() const override { return kFlagOnly; }
};

TEST_F(FlagOnlyBoard, DispatchersFallBackToPortableWhenTheBitIsMissing) {
    for (const auto& op : Ops())
        ExpectTransaction(op, kDispatch, op.portable);
}

class WriteReadOnlyBoard : public BoardTest {
  protected:
    const char* Config() const override { return kWriteReadOnly; }
};

TEST_F(WriteReadOnlyBoard, QuickCommandUsesTheWriteThenReadFrame) {
    // A write-quick: the address goes out with bit 0 cleared.
    BrimSMBusQuick(0x51);
    EXPECT_EQ(Sent(), (Bytes{0xA0, 0x05, 0x00, 0x00, 0x50}));
    ClearTraffic();
    EXPECT_EQ(BrimSMBusQuick(0xA0), 1u);
    EXPECT_EQ(Sent(), (Bytes{0xA0, 0x05, 0x00, 0x00, 0xA0}));
}

TEST_F(NativeBoard, FormsAgreeOnDeviceStateAndValues) {
    for (const auto& op : Ops()) {
        SCOPED_TRACE(op.name);
        uint32_t out[2];
        Bytes state[2];
        const Form forms[2] = {kPortable, kNative};
        for (int i = 0; i < 2; ++i) {
            ArrangeDevices();
            op.arrange();
            out[i] = op.sentinel;
            ASSERT_EQ(op.call(forms[i], out[i]), 1u);
            state[i] = DeviceState();
        }
        EXPECT_EQ(out[0], out[1]);
        EXPECT_TRUE(state[0] == state[1]);
    }
}

// Reply shapes a transaction must refuse: result 0, the output untouched,
// "FAILED" in the listing, and the link fit for the next transaction.
class SmbusReplyShape : public BoardTest, public testing::WithParamInterface<size_t> {
  protected:
    void ExpectRefused(const SmbusOp& op, Form form, const std::string& what) {
        SCOPED_TRACE(std::string(op.name) + " " + FormName(form) + ": " + what);
        uint32_t out = op.sentinel;
        EXPECT_EQ(op.call(form, out), 0u);
        EXPECT_EQ(out, op.sentinel);
        EXPECT_NE(Listing().find("FAILED"), std::string::npos);
        ClearListing();
        uint8_t v = 0;
        EXPECT_EQ(BrimSMBusReadByte(0x2A, 0x00, &v), 1u);
        EXPECT_EQ(v, 0x12);
        ClearListing();
    }
};

TEST_P(SmbusReplyShape, WrongRepliesAreRefused) {
    const SmbusOp& op = Ops()[GetParam()];
    ArrangeDevices();
    for (Form form : {kPortable, kNative}) {
        std::vector<size_t> dataPlaces;
        const size_t length = form == kPortable ? PortableReply(op.portable, &dataPlaces).size()
                                                : NativeReplyLength(op.native);
        op.arrange();
        ClearListing();
        Fault(podsim::FaultKind::Cut, static_cast<uint32_t>(length - 1));
        ExpectRefused(op, form, "one byte short");

        op.arrange();
        ClearListing();
        Fault(podsim::FaultKind::Noise, 1);
        ExpectRefused(op, form, "one byte long");

        // Portable replies are checked at every completion byte, native ones
        // at their final 0xB0.
        for (size_t at = form == kPortable ? 0 : length - 1; at < length; ++at) {
            if (std::find(dataPlaces.begin(), dataPlaces.end(), at) != dataPlaces.end()) continue;
            op.arrange();
            ClearListing();
            CorruptReply(0, static_cast<unsigned>(at));
            ExpectRefused(op, form, "wrong completion byte at " + std::to_string(at));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryOperation, SmbusReplyShape, testing::Range<size_t>(0, 9),
                         [](const testing::TestParamInfo<size_t>& info) {
                             return std::string(Ops()[info.param].name);
                         });

TEST_F(NativeBoard, StalledRepliesAreRefusedInBothForms) {
    const SmbusOp& readWord = Ops()[7];
    ArrangeDevices();
    for (Form form : {kPortable, kNative}) {
        SCOPED_TRACE(FormName(form));
        podsim::Fault stall;
        stall.kind = podsim::FaultKind::Stall;
        stall.bytes = 1;
        stall.times = 1;
        Sim().setFault(stall);
        ClearListing();
        uint32_t out = readWord.sentinel;
        EXPECT_EQ(readWord.call(form, out), 0u);
        EXPECT_EQ(out, readWord.sentinel);
        EXPECT_NE(Listing().find("FAILED"), std::string::npos);
        out = readWord.sentinel;
        EXPECT_EQ(readWord.call(form, out), 1u);
        EXPECT_EQ(out, 0x1234u);
    }
}

} // namespace
} // namespace bus
