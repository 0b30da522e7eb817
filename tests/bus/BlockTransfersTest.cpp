// Block transfers, PEC, write-then-read and group commands.
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

class Blocks : public BoardTest {};

TEST_F(Blocks, PortableWriteOfNothingIsTenBytes) {
    ASSERT_EQ(BrimSMBusWriteBlock_portable(0xA0, 0x81, 0, nullptr), 1u);
    EXPECT_EQ(Sent(), (Bytes{0xA0, 0x00, 0xA1, 0xA0, 0xA1, 0x81, 0xA1, 0x00, 0xA3, 0x00}));
}

TEST_F(Blocks, PortableWriteStoresTheBlock) {
    const Bytes data{0x11, 0x22, 0x33};
    ASSERT_EQ(BrimSMBusWriteBlock_portable(0xA1, 0x81, 3, data.data()), 1u);
    EXPECT_EQ(Sent(), PortableBlockWrite(0xA0, 0x81, data));
    EXPECT_EQ(Sim().smbusBlock(0xA0, 0x81), data);
}

TEST_F(Blocks, NativeWriteAlwaysSends261Bytes) {
    const Bytes data{0x11, 0x22, 0x33};
    ASSERT_EQ(BrimSMBusWriteBlock(0xA0, 0x81, 3, data.data()), 1u);
    Bytes expected{0xA0, 0x06, 0xA0, 0x81, 0x03, 0x11, 0x22, 0x33};
    expected.resize(261, 0x00);
    EXPECT_EQ(Sent(), expected);
    EXPECT_EQ(Sim().smbusBlock(0xA0, 0x81), data);
    EXPECT_TRUE(Has("BrimSMBusWriteBlock_native(addr=0xa0, cmd=0x81, count=0x0003)"));
}

TEST_F(Blocks, NativeWriteOfMoreThan256BytesIsRefusedWithoutTraffic) {
    Bytes data(300, 0x5A);
    EXPECT_EQ(BrimSMBusWriteBlock_native(0xA0, 0x81, 300, data.data()), 0u);
    EXPECT_TRUE(Sent().empty());
    EXPECT_TRUE(Has("FAILED"));
    // A count of 0 stands for 256 bytes, which a missing buffer cannot supply.
    EXPECT_EQ(BrimSMBusWriteBlock_native(0xA0, 0x81, 0, nullptr), 0u);
    EXPECT_TRUE(Sent().empty());
}

TEST_F(Blocks, PortableWriteWhoseReplyCannotFitIsRefusedWithoutTraffic) {
    Bytes data(1995, 0x5A);
    EXPECT_EQ(BrimSMBusWriteBlock_portable(0xA0, 0x81, 1995, data.data()), 0u);
    EXPECT_TRUE(Sent().empty());
    EXPECT_TRUE(Has("FAILED"));
}

class WriteReadOnlyBlocks : public BoardTest {
  protected:
    const char* Config() const override { return kWriteReadOnly; }
};

TEST_F(WriteReadOnlyBlocks, NativeWriteUsesAZeroFilledWriteThenReadFrame) {
    const Bytes data{0x11, 0x22, 0x33};
    ASSERT_EQ(BrimSMBusWriteBlock(0xA0, 0x81, 3, data.data()), 1u);
    Bytes expected{0xA0, 0x05, 0x05, 0x00, 0xA0, 0x81, 0x03, 0x11, 0x22, 0x33};
    expected.resize(263, 0x00);
    EXPECT_EQ(Sent(), expected);
    EXPECT_EQ(Sim().smbusBlock(0xA0, 0x81), data);
}

TEST_F(WriteReadOnlyBlocks, LongAndEmptyNativeWritesGoPortable) {
    Bytes data(254);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i);
    ASSERT_EQ(BrimSMBusWriteBlock_native(0xA0, 0x81, 254, data.data()), 1u);
    EXPECT_EQ(Sent(), PortableBlockWrite(0xA0, 0x81, data));
    EXPECT_EQ(Sim().smbusBlock(0xA0, 0x81), data);
    ClearTraffic();
    ASSERT_EQ(BrimSMBusWriteBlock_native(0xA0, 0x81, 0, nullptr), 1u);
    EXPECT_EQ(Sent(), PortableBlockWrite(0xA0, 0x81, {}));
}

TEST_F(WriteReadOnlyBlocks, NativeReadWithoutItsBitReadsPortably) {
    Sim().setSmbusBlock(0xA0, 0x81, {1, 2});
    uint8_t count = 0;
    uint8_t buffer[8] = {};
    ASSERT_EQ(BrimSMBusReadBlock(0xA0, 0x81, &count, buffer, sizeof buffer), 1u);
    EXPECT_EQ(Sent(), Concat({kBlockReadHead, kAck, kNack, kStopCmd}));
    EXPECT_EQ(count, 2);
}

TEST_F(Blocks, PortableReadStopsAtTheCallersBuffer) {
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
}

TEST_F(Blocks, ReadIntoNoRoomStoresNothingButEndsTheTransaction) {
    Sim().setSmbusBlock(0xA0, 0x81, {1, 2, 3});
    uint8_t count = 0;
    uint8_t buffer[2] = {0xEE, 0xEE};
    ASSERT_EQ(BrimSMBusReadBlock_portable(0xA0, 0x81, &count, buffer, 0), 1u);
    // The acknowledged count byte is followed by one unacknowledged read.
    EXPECT_EQ(Sent(), Concat({kBlockReadHead, kNack, kStopCmd}));
    EXPECT_EQ(count, 3);
    EXPECT_EQ(buffer[0], 0xEE);
    EXPECT_EQ(buffer[1], 0xEE);

    ClearTraffic();
    count = 0;
    ASSERT_EQ(BrimSMBusReadBlock_native(0xA0, 0x81, &count, buffer, 0), 1u);
    EXPECT_EQ(Sent(), (Bytes{0xA0, 0x07, 0xA0, 0x81}));
    EXPECT_EQ(count, 3);
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

TEST_F(Blocks, PortableReadWithPecSendsNothing) {
    uint8_t count = 0xEE;
    uint8_t buffer[4] = {};
    EXPECT_EQ(BrimSMBusReadBlockPEC_portable(0xA0, 0x83, &count, buffer, 4), 0u);
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(count, 0xEE);
}

TEST_F(Blocks, WriteThenReadPortableIsOneExchangePerCommand) {
    ArrangeDevices();
    const uint8_t command = 0x05;
    uint8_t buffer[4];
    memset(buffer, 0xEE, sizeof buffer);
    uint32_t received = 99;
    ASSERT_EQ(BrimI2CWriteAndReadBytes_portable(0xA0, 1, 2, &command, buffer, &received), 1u);
    EXPECT_EQ(Sent(), (Bytes{0xA0, 0x00, 0xA1, 0xA0, 0xA1, 0x05, 0xA0, 0x01, 0xA1, 0xA1, 0xA2, 0x01,
                             0xA2, 0x00, 0xA3, 0x00}));
    EXPECT_EQ(Sim().hostWrites(), 8u);
    EXPECT_EQ(received, 2u);
    EXPECT_EQ(Bytes(buffer, buffer + 3), (Bytes{0x34, 0x12, 0xEE}));
    EXPECT_TRUE(Has("received 2 bytes"));
}

TEST_F(Blocks, WriteThenReadOfNothingIsAQuickWrite) {
    ASSERT_EQ(BrimI2CWriteAndReadBytes_portable(0xA0, 0, 0, nullptr, nullptr, nullptr), 1u);
    EXPECT_EQ(Sent(), (Bytes{0xA0, 0x00, 0xA1, 0xA0, 0xA3, 0x00}));
}

TEST_F(Blocks, WriteThenReadNativeIsOneFrame) {
    ArrangeDevices();
    const uint8_t command = 0x05;
    uint8_t buffer[2] = {};
    uint32_t received = 99;
    ASSERT_EQ(BrimI2CWriteAndReadBytes(0xA0, 1, 2, &command, buffer, &received), 1u);
    EXPECT_EQ(Sent(), (Bytes{0xA0, 0x05, 0x01, 0x02, 0xA0, 0x05}));
    EXPECT_EQ(received, 2u);
    EXPECT_EQ(Bytes(buffer, buffer + 2), (Bytes{0x34, 0x12}));
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

TEST_F(Blocks, FormsAgreeOnDeviceStateAndValues) {
    const Bytes data{0x0A, 0x0B, 0x0C, 0x0D, 0x0E};
    const uint8_t pointer = 0x20;
    struct Run {
        uint32_t result;
        Bytes values;
        Bytes state;
    };
    auto both = [](const std::function<Run(Form)>& run) {
        Run p = run(kPortable);
        Run n = run(kNative);
        EXPECT_EQ(p.result, 1u);
        EXPECT_EQ(p.result, n.result);
        EXPECT_EQ(p.values, n.values);
        EXPECT_TRUE(p.state == n.state);
    };
    {
        SCOPED_TRACE("block write");
        both([&](Form f) {
            ArrangeDevices();
            uint32_t r = BUS_FORMS(BrimSMBusWriteBlock)[f](0xA0, 0x84, 5, data.data());
            return Run{r, {}, DeviceState()};
        });
    }
    {
        SCOPED_TRACE("block read");
        both([&](Form f) {
            ArrangeDevices();
            uint8_t count = 0;
            uint8_t buffer[8] = {};
            uint32_t r = BUS_FORMS(BrimSMBusReadBlock)[f](0xA0, 0x86, &count, buffer, 8);
            Bytes values(buffer, buffer + 8);
            values.push_back(count);
            return Run{r, values, DeviceState()};
        });
    }
    {
        SCOPED_TRACE("write then read");
        both([&](Form f) {
            ArrangeDevices();
            Bytes write{pointer, 0x01, 0x02};
            uint32_t r =
                BUS_FORMS(BrimI2CWriteAndReadBytes)[f](0x10, 3, 0, write.data(), nullptr, nullptr);
            uint8_t buffer[3] = {};
            uint32_t received = 0;
            r &= BUS_FORMS(BrimI2CWriteAndReadBytes)[f](0x10, 1, 3, &pointer, buffer, &received);
            Bytes values(buffer, buffer + 3);
            values.push_back(static_cast<uint8_t>(received));
            return Run{r, values, DeviceState()};
        });
    }
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
}

TEST_F(Blocks, GroupCommandPecIsAcceptedByTheDevice) {
    ArrangeDevices();
    Group g{{0xA0}, {3}, {1}, {{0x21, 0x34, 0x12}}};
    const uint8_t covered[] = {0xA0, 0x21, 0x34, 0x12};
    const uint8_t pec = PEC_crc8(covered, sizeof covered, 0);
    ASSERT_EQ(g.Send(), 1u);
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

TEST_F(Blocks, GroupFrameThatCannotFitIsRefusedWithoutTraffic) {
    Bytes data(255, 0x01);
    Group g{{0xA0}, {255}, {1}, {data}};
    EXPECT_EQ(g.Send(), 0u);
    EXPECT_TRUE(Sent().empty());
    EXPECT_TRUE(Has("FAILED"));
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
