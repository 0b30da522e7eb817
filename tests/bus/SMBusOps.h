// The SMBus operations as the tests run them: their portable strings and
// native frames, how to call each form, and what each must return.
#ifndef TESTS_BUS_SMBUSOPS_H
#define TESTS_BUS_SMBUSOPS_H

#include "BusBoard.h"

#include "rerodada.h"

#include <functional>
#include <vector>

namespace bus {

inline constexpr uint32_t kNoOutput = 0xFFFFFFFF;
inline constexpr uint8_t kByteSentinel = 0xEE;
inline constexpr uint16_t kWordSentinel = 0xEEEE;

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

inline uint32_t ReadByteInto(uint32_t(RERODADA_CALL* fn)(uint8_t, uint8_t, uint8_t*), uint8_t a,
                             uint8_t c, uint32_t& out) {
    uint8_t v = kByteSentinel;
    uint32_t r = fn(a, c, &v);
    out = v;
    return r;
}

inline const std::vector<SmbusOp>& Ops() {
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
inline Bytes PortableReply(const Bytes& sent, std::vector<size_t>* dataPlaces) {
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

inline size_t NativeReplyLength(const Bytes& frame) {
    return frame[1] == 0x03 ? 1 : frame[3] + 1u;
}

} // namespace bus

#endif
