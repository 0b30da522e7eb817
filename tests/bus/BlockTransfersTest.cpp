// Block transfers, PEC, write-then-read and group commands, and the
// transactions too long for the board's buffers.
#include "BusBoard.h"

#include "rerodada.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>

namespace bus {
namespace {

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const auto& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

Bytes PortableBlockWrite(uint8_t address, uint8_t command, const Bytes& data) {
    Bytes s{0xA0, 0x00, 0xA1, address, 0xA1, command, 0xA1, static_cast<uint8_t>(data.size())};
    for (uint8_t b : data)
        s.insert(s.end(), {0xA1, b});
    s.insert(s.end(), {0xA3, 0x00});
    return s;
}

Bytes Padded(Bytes frame, size_t size) {
    frame.resize(size, 0x00);
    return frame;
}

const Bytes kBlockReadHead{0xA0, 0x00, 0xA1, 0xA0, 0xA1, 0x81, 0xA0, 0x01, 0xA1, 0xA1, 0xA2, 0x01};
const Bytes kAck{0xA2, 0x01};
const Bytes kNack{0xA2, 0x00};
const Bytes kStopCmd{0xA3, 0x00};

bool Has(const std::string& text) {
    return Listing().find(text) != std::string::npos;
}

TEST(Pec, Crc8OfKnownMessages) {
    const uint8_t ascii[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(PEC_crc8(ascii, sizeof ascii, 0), 0xF4);
    const uint8_t word[] = {0x2A, 0x10, 0x2B, 0x02, 0x34, 0x12};
    EXPECT_EQ(PEC_crc8(word, sizeof word, 0), 0x55);
    // The running value lets a message be checksummed in pieces.
    EXPECT_EQ(PEC_crc8(word + 2, 4, PEC_crc8(word, 2, 0)), 0x55);
    EXPECT_EQ(PEC_crc8(word, 0, 0x37), 0x37);
}

TEST(BlockWrite, EachFormAndFirmwareSendsItsStringAndTheDeviceStoresTheBlock) {
    Bytes long254(254);
    for (size_t i = 0; i < long254.size(); ++i)
        long254[i] = static_cast<uint8_t>(i);
    const Bytes three{0x11, 0x22, 0x33};
    const struct {
        const char* name;
        const char* config;
        Form form;
        uint8_t address; // the read bit is ignored
        Bytes data;
        Bytes sent;
        const char* listing;
    } cases[] = {
        {"portable, nothing",
         kAllNative,
         kPortable,
         0xA0,
         {},
         PortableBlockWrite(0xA0, 0x81, {}),
         ""},
        {"portable", kAllNative, kPortable, 0xA1, three, PortableBlockWrite(0xA0, 0x81, three), ""},
        {"native: always 261 bytes", kAllNative, kDispatch, 0xA0, three,
         Padded({0xA0, 0x06, 0xA0, 0x81, 0x03, 0x11, 0x22, 0x33}, 261),
         "BrimSMBusWriteBlock_native(addr=0xa0, cmd=0x81, count=0x0003)"},
        {"native without 0x06: a zero-filled write-then-read frame", kWriteReadOnly, kDispatch,
         0xA0, three, Padded({0xA0, 0x05, 0x05, 0x00, 0xA0, 0x81, 0x03, 0x11, 0x22, 0x33}, 263),
         ""},
        {"native without 0x06, too long for one frame", kWriteReadOnly, kNative, 0xA0, long254,
         PortableBlockWrite(0xA0, 0x81, long254), ""},
        {"native without 0x06, nothing",
         kWriteReadOnly,
         kNative,
         0xA0,
         {},
         PortableBlockWrite(0xA0, 0x81, {}),
         ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        UseBoard(c.config);
        Sim().setSmbusBlock(0xA0, 0x81, {0xEE});
        const uint8_t* data = c.data.empty() ? nullptr : c.data.data();
        const uint8_t count = static_cast<uint8_t>(c.data.size());
        ASSERT_EQ(BUS_FORMS(BrimSMBusWriteBlock)[c.form](c.address, 0x81, count, data), 1u);
        EXPECT_EQ(Sent(), c.sent);
        // The device keeps its block when the write carries none.
        EXPECT_EQ(Sim().smbusBlock(0xA0, 0x81), c.data.empty() ? Bytes{0xEE} : c.data);
        EXPECT_TRUE(Has(c.listing));
    }
}

TEST(TooLong, TransactionsBeyondTheBuffersAreRefusedWithoutTraffic) {
    const Bytes big(1995, 0x5A);
    const struct {
        const char* name;
        const char* config;
        std::function<uint32_t()> call;
    } cases[] = {
        {"native block write of 300 bytes", kAllNative,
         [&] { return BrimSMBusWriteBlock_native(0xA0, 0x81, 300, big.data()); }},
        // A count of 0 stands for 256 bytes, which a missing buffer cannot supply.
        {"native block write of 256 from nothing", kAllNative,
         [] { return BrimSMBusWriteBlock_native(0xA0, 0x81, 0, nullptr); }},
        {"portable block write whose reply cannot fit", kAllNative,
         [&] { return BrimSMBusWriteBlock_portable(0xA0, 0x81, 1995, big.data()); }},
        // Nonzero too when the count was touched.
        {"portable block read with PEC", kAllNative,
         [] {
             uint8_t count = 0xEE, buffer[4];
             uint32_t r = BrimSMBusReadBlockPEC_portable(0xA0, 0x83, &count, buffer, 4);
             return r | static_cast<uint32_t>(count != 0xEE);
         }},
        {"group frame that cannot fit", kAllNative,
         [&] {
             const uint8_t address = 0xA0, count = 255, pec = 1;
             const uint8_t* data = big.data();
             return BrimPMBusGroupCommand(1, &address, &count, &pec, &data);
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        UseBoard(c.config);
        EXPECT_EQ(c.call(), 0u);
        EXPECT_TRUE(Sent().empty());
        EXPECT_TRUE(Has("FAILED"));
    }
}

class Blocks : public BoardTest {};

TEST_F(Blocks, PortableReadStopsAtTheCallersBufferAndAlwaysEndsTheTransaction) {
    Bytes block(10);
    for (size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<uint8_t>(0x40 + i);
    Sim().setSmbusBlock(0xA0, 0x81, block);
    uint8_t count = 0;
    uint8_t buffer[6];
    memset(buffer, 0xEE, sizeof buffer);
    ASSERT_EQ(BrimSMBusReadBlock_portable(0xA0, 0x81, &count, buffer, 4), 1u);
    // Four bytes, the fourth without acknowledge, then the stop.
    EXPECT_EQ(Sent(), Concat({kBlockReadHead, kAck, kAck, kAck, kNack, kStopCmd}));
    EXPECT_EQ(count, 10);
    EXPECT_EQ(Bytes(buffer, buffer + 6), (Bytes{0x40, 0x41, 0x42, 0x43, 0xEE, 0xEE}));

    // No room: the acknowledged count byte is followed by one unacknowledged read.
    ClearTraffic();
    memset(buffer, 0xEE, sizeof buffer);
    ASSERT_EQ(BrimSMBusReadBlock_portable(0xA0, 0x81, &count, buffer, 0), 1u);
    EXPECT_EQ(Sent(), Concat({kBlockReadHead, kNack, kStopCmd}));
    EXPECT_EQ(buffer[0], 0xEE);
    ClearTraffic();
    count = 0;
    ASSERT_EQ(BrimSMBusReadBlock_native(0xA0, 0x81, &count, buffer, 0), 1u);
    EXPECT_EQ(Sent(), (Bytes{0xA0, 0x07, 0xA0, 0x81}));
    EXPECT_EQ(count, 10);
    EXPECT_EQ(buffer[0], 0xEE);
}

TEST_F(Blocks, CountZeroMeans256InBothForms) {
    Bytes block(256);
    for (size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<uint8_t>(i ^ 0x5A);
    Sim().setSmbusBlock(0xA0, 0x82, block);
    for (Form form : {kPortable, kNative}) {
        SCOPED_TRACE(FormName(form));
        uint8_t count = 0xEE;
        uint8_t buffer[300];
        memset(buffer, 0xEE, sizeof buffer);
        ASSERT_EQ(BUS_FORMS(BrimSMBusReadBlock)[form](0xA0, 0x82, &count, buffer, 300), 1u);
        EXPECT_EQ(count, 0);
        EXPECT_EQ(Bytes(buffer, buffer + 256), block);
        EXPECT_EQ(buffer[256], 0xEE);
    }
}

TEST_F(Blocks, NativeReadFailureAnswerGivesCountZero) {
    uint8_t count = 0xEE;
    uint8_t buffer[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    // Nobody at 0x50: the firmware answers x, 0xFA.
    EXPECT_EQ(BrimSMBusReadBlock(0x50, 0x81, &count, buffer, 4), 0u);
    EXPECT_EQ(Sent(), (Bytes{0xA0, 0x07, 0x50, 0x81}));
    EXPECT_EQ(count, 0);
    EXPECT_EQ(buffer[0], 0xEE);
    EXPECT_TRUE(Has("FAILED"));
}

TEST_F(Blocks, NativeReadWithPecChecksTheChecksum) {
    const Bytes block{0x10, 0x20, 0x30};
    Sim().setSmbusBlock(0xA0, 0x83, block);
    uint8_t count = 0;
    uint8_t buffer[8] = {};
    ASSERT_EQ(BrimSMBusReadBlockPEC(0xA0, 0x83, &count, buffer, sizeof buffer), 1u);
    EXPECT_EQ(Sent(), (Bytes{0xA0, 0x08, 0xA0, 0x83}));
    EXPECT_EQ(count, 3);
    EXPECT_EQ(Bytes(buffer, buffer + 3), block);

    // Reply: count, three data bytes, PEC, status; the PEC arrives damaged.
    const uint8_t sums[] = {0xA0, 0x83, 0xA1, 0x03, 0x10, 0x20, 0x30};
    const uint8_t pec = PEC_crc8(sums, sizeof sums, 0);
    count = 0;
    memset(buffer, 0, sizeof buffer);
    ClearListing();
    CorruptReply(0, 4, 0xFF);
    EXPECT_EQ(BrimSMBusReadBlockPEC(0xA0, 0x83, &count, buffer, sizeof buffer), 0u);
    char line[96];
    snprintf(line, sizeof line, "PEC FAILED: --- received_PEC 0x%2.2X != PEC_accumulator 0x%2.2X",
             pec ^ 0xFF, pec);
    EXPECT_TRUE(Has(line)) << Listing();
    // What was read stays with the caller.
    EXPECT_EQ(count, 3);
    EXPECT_EQ(Bytes(buffer, buffer + 3), block);
}

TEST(BlockRead, NativeWithoutItsBitReadsPortably) {
    UseBoard(kWriteReadOnly);
    Sim().setSmbusBlock(0xA0, 0x81, {1, 2});
    uint8_t count = 0;
    uint8_t buffer[8] = {};
    ASSERT_EQ(BrimSMBusReadBlock(0xA0, 0x81, &count, buffer, sizeof buffer), 1u);
    EXPECT_EQ(Sent(), Concat({kBlockReadHead, kAck, kNack, kStopCmd}));
    EXPECT_EQ(count, 2);
}

TEST_F(Blocks, WriteThenReadInEachForm) {
    const uint8_t command = 0x05;
    const struct {
        const char* name;
        Form form;
        uint32_t writes, reads;
        Bytes sent;
        size_t hostWrites;
    } cases[] = {
        // One exchange per command.
        {"portable",
         kPortable,
         1,
         2,
         {0xA0, 0x00, 0xA1, 0xA0, 0xA1, 0x05, 0xA0, 0x01, 0xA1, 0xA1, 0xA2, 0x01, 0xA2, 0x00, 0xA3,
          0x00},
         8},
        {"portable, nothing: a quick write",
         kPortable,
         0,
         0,
         {0xA0, 0x00, 0xA1, 0xA0, 0xA3, 0x00},
         3},
        {"native", kDispatch, 1, 2, {0xA0, 0x05, 0x01, 0x02, 0xA0, 0x05}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ArrangeDevices();
        ClearTraffic();
        ClearListing();
        uint8_t buffer[4];
        memset(buffer, 0xEE, sizeof buffer);
        uint32_t received = 99;
        ASSERT_EQ(BUS_FORMS(BrimI2CWriteAndReadBytes)[c.form](0xA0, c.writes, c.reads, &command,
                                                              buffer, &received),
                  1u);
        EXPECT_EQ(Sent(), c.sent);
        EXPECT_EQ(Sim().hostWrites(), c.hostWrites);
        EXPECT_EQ(received, c.reads);
        const Bytes expected = c.reads ? Bytes{0x34, 0x12, 0xEE} : Bytes{0xEE, 0xEE, 0xEE};
        EXPECT_EQ(Bytes(buffer, buffer + 3), expected);
        EXPECT_EQ(Has("received 2 bytes"), c.reads != 0);
    }
}

TEST_F(Blocks, WriteThenReadBeyondOneCountByteGoesPortable) {
    ArrangeDevices();
    Bytes buffer(256, 0);
    uint32_t received = 0;
    ASSERT_EQ(BrimI2CWriteAndReadBytes(0x18, 0, 256, nullptr, buffer.data(), &received), 1u);
    EXPECT_EQ(received, 256u);
    EXPECT_EQ(buffer, Bytes(256, 0x77));
    const Bytes sent = Sent();
    ASSERT_GE(sent.size(), 4u);
    EXPECT_EQ(Bytes(sent.begin(), sent.begin() + 4), (Bytes{0xA0, 0x00, 0xA1, 0x19}));
}

// Group commands.
struct Group {
    std::vector<uint8_t> addresses, counts, pec;
    std::vector<Bytes> data;
    uint32_t Send() {
        std::vector<const uint8_t*> pointers;
        for (const auto& d : data)
            pointers.push_back(d.data());
        return BrimPMBusGroupCommand(static_cast<uint8_t>(addresses.size()), addresses.data(),
                                     counts.data(), pec.data(), pointers.data());
    }
};

Group ThreeDevices() {
    return {{0xA0, 0x10, 0x18}, {2, 2, 2}, {0, 0, 0}, {{0x20, 0x55}, {0x30, 0x66}, {0x40, 0x77}}};
}

TEST_F(Blocks, GroupCommandOfThreeDevicesIsOneString) {
    ArrangeDevices();
    Group g = ThreeDevices();
    ASSERT_EQ(g.Send(), 1u);
    EXPECT_EQ(Sent(), (Bytes{0xA0, 0x09, 0x02, 0x00, 0xA0, 0x20, 0x55, //
                             0xA0, 0x09, 0x02, 0x00, 0x10, 0x30, 0x66, //
                             0xA0, 0x05, 0x02, 0x00, 0x18, 0x40, 0x77}));
    EXPECT_EQ(Sim().hostWrites(), 1u);
    EXPECT_EQ(Sim().boardBytes(), (Bytes{0xB0, 0xB0, 0xB0}));
    EXPECT_EQ(Sim().smbusWord(0xA0, 0x20) & 0xFF, 0x55);
    EXPECT_EQ(Sim().memoryByte(0x10, 0x30), 0x66);
    EXPECT_EQ(Sim().memoryByte(0x18, 0x40), 0x77);
    EXPECT_TRUE(Has("SUCCESS: BrimPMBusGroupCommand(num_devices=3, ...)"));

    // With PEC: the device checks it.
    ClearTraffic();
    Group withPec{{0xA0}, {3}, {1}, {{0x21, 0x34, 0x12}}};
    const uint8_t covered[] = {0xA0, 0x21, 0x34, 0x12};
    const uint8_t pec = PEC_crc8(covered, sizeof covered, 0);
    ASSERT_EQ(withPec.Send(), 1u);
    EXPECT_EQ(Sent(), (Bytes{0xA0, 0x05, 0x04, 0x00, 0xA0, 0x21, 0x34, 0x12, pec}));
    EXPECT_EQ(Sim().smbusWord(0xA0, 0x21), 0x1234);
    EXPECT_EQ(Sim().smbusPecErrors(0xA0), 0u);
}

TEST_F(Blocks, LongGroupCommandGoesDeviceByDeviceAndContinuesAfterAFailure) {
    ArrangeDevices();
    Bytes first(100, 0x11), second(100, 0x22);
    first[0] = 0x00;
    second[0] = 0x00;
    // Nobody answers at 0x50; the device after it still gets its frame.
    Group g{{0x50, 0x10}, {100, 100}, {0, 0}, {first, second}};
    EXPECT_EQ(g.Send(), 0u);
    EXPECT_EQ(Sim().hostWrites(), 2u);
    EXPECT_EQ(Sent().size(), 210u);
    EXPECT_EQ(Sim().memoryByte(0x10, 0x01), 0x22);
    EXPECT_TRUE(Has("device 0 failed; continuing..."));
    EXPECT_TRUE(Has("FAIL: BrimPMBusGroupCommand(num_devices=2, ...)"));
}

TEST(GroupRequirements, EachMissingCommandIsNamed) {
    const struct {
        const char* config;
        const char* line;
    } cases[] = {
        {kNoNative, "FAILED: BrimPMBusGroupCommand requires newer firmware "},
        {kFlagOnly, "FAILED: BrimPMBusGroupCommand requires firmware command 0xA0 0x05 "
                    "BRIM_i2cStart_WriteReadStop "},
        {kWriteReadOnly, "FAILED: BrimPMBusGroupCommand requires firmware command 0xA0 0x09 "
                         "BRIM_i2cStart_PMBusWriteReadNoStop "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.config);
        UseBoard(c.config);
        EXPECT_EQ(ThreeDevices().Send(), 0u);
        EXPECT_TRUE(Sent().empty());
        EXPECT_TRUE(Has(c.line));
    }
}

} // namespace
} // namespace bus
