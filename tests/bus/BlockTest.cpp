// Block transfers, PEC, write-then-read and group commands.
#include "Bus.h"

namespace bus {
namespace {

Bytes Padded(Bytes frame, size_t size) {
    frame.resize(size, 0x00);
    return frame;
}

Bytes Counting(size_t n, uint8_t x = 0) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i)
        b[i] = uint8_t(i ^ x);
    return b;
}

// A block write's portable string.
Bytes BlockString(Bytes data) {
    data.insert(data.begin(), {0x81, uint8_t(data.size())});
    return Portable(0xA0, data, 0);
}

TEST(BlockWrite, EachFormAndFirmwareSendsItsString) {
    const Bytes three{0x11, 0x22, 0x33}, long254 = Counting(254);
    // The read bit of the address is ignored.
    const std::tuple<const char*, std::string, Form, uint8_t, Bytes, Bytes> cases[] = {
        {"portable, nothing", kAllNative, kPortable, 0xA0, {}, BlockString({})},
        {"portable", kAllNative, kPortable, 0xA1, three, BlockString(three)},
        {"without 0x06: a zero-filled write-then-read frame", kWriteReadOnly, kDispatch, 0xA0,
         three, Padded({0xA0, 0x05, 0x05, 0x00, 0xA0, 0x81, 0x03, 0x11, 0x22, 0x33}, 263)},
        {"without 0x06, too long for one frame", kWriteReadOnly, kNative, 0xA0, long254,
         BlockString(long254)},
        {"without 0x06, nothing", kWriteReadOnly, kNative, 0xA0, {}, BlockString({})},
        {"native: always 261 bytes", kAllNative, kDispatch, 0xA0, three,
         Padded({0xA0, 0x06, 0xA0, 0x81, 0x03, 0x11, 0x22, 0x33}, 261)},
    };
    for (const auto& [name, config, form, address, data, sent] : cases) {
        SCOPED_TRACE(name);
        UseBoard(config);
        ASSERT_EQ(BUS_FORMS(BrimSMBusWriteBlock)[form](address, 0x81, uint32_t(data.size()),
                                                       data.empty() ? nullptr : data.data()),
                  1u);
        EXPECT_EQ(Sent(), sent);
    }
    // The last one in the listing.
    EXPECT_TRUE(Has("BrimSMBusWriteBlock_native(addr=0xa0, cmd=0x81, count=0x0003)"));
}

class Blocks : public testing::Test {
  protected:
    void SetUp() override { UseBoard(kAllNative); }
    uint8_t count = 0xEE;
    uint8_t buffer[300];
    void Fill() {
        count = 0xEE;
        std::fill(std::begin(buffer), std::end(buffer), 0xEE);
    }
};

TEST_F(Blocks, ReadStopsAtTheCallersBufferAndAlwaysEndsTheTransaction) {
    const Bytes ten = Counting(10, 0x40), full = Counting(256, 0x5A),
                native{0xA0, 0x07, 0xA0, 0x81};
    const std::tuple<std::string, Form, Bytes, uint32_t, Bytes, uint8_t> cases[] = {
        // Four bytes, the fourth without acknowledge, then the stop.
        {kAllNative, kPortable, ten, 4, Portable(0xA0, {0x81}, 5), 10},
        // No room: after the count byte one unacknowledged read.
        {kAllNative, kPortable, ten, 0, Portable(0xA0, {0x81}, 2), 10},
        {kAllNative, kNative, ten, 0, native, 10},
        // A count of 0 means 256 bytes in both forms.
        {kAllNative, kPortable, full, 300, Portable(0xA0, {0x81}, 257), 0},
        {kAllNative, kNative, full, 300, native, 0},
        // Without its bit, the native form reads portably.
        {kWriteReadOnly, kDispatch, {1, 2}, 8, Portable(0xA0, {0x81}, 3), 2},
    };
    for (const auto& [config, form, block, room, sent, blockCount] : cases) {
        SCOPED_TRACE(testing::Message() << form << " into " << room);
        UseBoard(config);
        Sim().setSmbusBlock(0xA0, 0x81, block);
        Fill();
        ASSERT_EQ(BUS_FORMS(BrimSMBusReadBlock)[form](0xA0, 0x81, &count, buffer, room), 1u);
        EXPECT_EQ(Sent(), sent);
        EXPECT_EQ(count, blockCount);
        // What fits, and nothing past it.
        Bytes kept(block.begin(), block.begin() + std::min<size_t>(room, block.size()));
        kept.push_back(0xEE);
        EXPECT_EQ(Bytes(buffer, buffer + kept.size()), kept);
    }
}

TEST_F(Blocks, FailedReadsLeaveTheBufferAndReleaseTheBus) {
    // Nobody at 0x50: the firmware answers x, 0xFA, and the count becomes 0.
    Fill();
    EXPECT_EQ(BrimSMBusReadBlock(0x50, 0x81, &count, buffer, 4), 0u);
    EXPECT_EQ(Sent(), (Bytes{0xA0, 0x07, 0x50, 0x81}));
    EXPECT_EQ(count, 0);
    EXPECT_EQ(buffer[0], 0xEE);
    EXPECT_TRUE(Has("FAILED"));
    // A count of 3 for a reply that carries 4 data bytes.
    Sim().setSmbusBlock(0xA0, 0x81, {0x01, 0x02, 0x03, 0x04});
    Fill();
    Sim().setScriptedReplies({{0x03, 0x01, 0x02, 0x03, 0x04, 0xB0}});
    EXPECT_EQ(BrimSMBusReadBlock_native(0xA0, 0x81, &count, buffer, 4), 0u);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(buffer[0], 0xEE);
    // A portable read whose first data byte is refused still sends the stop.
    Sim().clearScriptedReplies();
    Clear();
    ASSERT_EQ(BrimSMBusReadBlock_portable(0xA0, 0x81, &count, buffer, 4), 1u);
    std::vector<Bytes> replies = Replies();
    replies[1][1] ^= 0x01;
    Clear();
    Sim().setScriptedReplies(replies);
    EXPECT_EQ(BrimSMBusReadBlock_portable(0xA0, 0x81, &count, buffer, 4), 0u);
    const Bytes sent = Sent();
    EXPECT_EQ(Bytes(sent.end() - 2, sent.end()), (Bytes{0xA3, 0x00}));
    EXPECT_EQ(Sim().hostWrites(), 3u);
}

TEST_F(Blocks, NativeReadWithPecChecksTheChecksumWholeAndInPieces) {
    const Bytes block{0x10, 0x20, 0x30};
    Sim().setSmbusBlock(0xA0, 0x83, block);
    ASSERT_EQ(BrimSMBusReadBlockPEC(0xA0, 0x83, &count, buffer, 8), 1u);
    EXPECT_EQ(Sent(), (Bytes{0xA0, 0x08, 0xA0, 0x83}));
    EXPECT_EQ(count, 3);
    EXPECT_EQ(Bytes(buffer, buffer + 3), block);
    // Reply: count, data, PEC (of A0 83 A1 03 10 20 30), status; the PEC arrives damaged.
    std::vector<Bytes> replies = Replies();
    EXPECT_EQ(replies[0][4], 0x8B);
    replies[0][4] = 0x74;
    Fill();
    Clear();
    Sim().setScriptedReplies(replies);
    EXPECT_EQ(BrimSMBusReadBlockPEC(0xA0, 0x83, &count, buffer, 8), 0u);
    EXPECT_TRUE(Has("PEC FAILED: --- received_PEC 0x74 != PEC_accumulator 0x8B")) << gListing;
    // What was read stays with the caller.
    EXPECT_EQ(count, 3);
    EXPECT_EQ(Bytes(buffer, buffer + 3), block);
    // The checksum of known messages, whole and in pieces.
    const uint8_t ascii[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    const uint8_t word[] = {0x2A, 0x10, 0x2B, 0x02, 0x34, 0x12};
    EXPECT_EQ(PEC_crc8(ascii, sizeof ascii, 0), 0xF4);
    EXPECT_EQ(PEC_crc8(word, sizeof word, 0), 0x55);
    EXPECT_EQ(PEC_crc8(word + 2, 4, PEC_crc8(word, 2, 0)), 0x55);
    EXPECT_EQ(PEC_crc8(word, 0, 0x37), 0x37);
}

TEST_F(Blocks, WriteThenReadInEachForm) {
    const uint8_t command = 0x05;
    const std::tuple<Form, uint32_t, uint32_t, Bytes, size_t> cases[] = {
        // One exchange per command.
        {kPortable, 1, 2, Portable(0xA0, {0x05}, 2), 8},
        // Nothing either way: a quick write.
        {kPortable, 0, 0, Portable(0xA0, {}, 0), 3},
        {kDispatch, 1, 2, {0xA0, 0x05, 0x01, 0x02, 0xA0, 0x05}, 1},
    };
    for (const auto& [form, writes, reads, sent, hostWrites] : cases) {
        SCOPED_TRACE(hostWrites);
        ArrangeDevices();
        Fill();
        Clear();
        uint32_t received = 99;
        ASSERT_EQ(BUS_FORMS(BrimI2CWriteAndReadBytes)[form](0xA0, writes, reads, &command, buffer,
                                                            &received),
                  1u);
        EXPECT_EQ(Sent(), sent);
        EXPECT_EQ(Sim().hostWrites(), hostWrites);
        EXPECT_EQ(received, reads);
        EXPECT_EQ(Bytes(buffer, buffer + 3), (reads ? Bytes{0x34, 0x12, 0xEE} : Bytes(3, 0xEE)));
        EXPECT_EQ(Has("received 2 bytes"), reads != 0);
    }
    // Beyond one count byte: portable.
    uint32_t received = 0;
    Clear();
    ASSERT_EQ(BrimI2CWriteAndReadBytes(0x18, 0, 256, nullptr, buffer, &received), 1u);
    EXPECT_EQ(received, 256u);
    EXPECT_EQ(Bytes(buffer, buffer + 256), Bytes(256, 0x77));
    const Bytes sent = Sent();
    EXPECT_EQ(Bytes(sent.begin(), sent.begin() + 4), (Bytes{0xA0, 0x00, 0xA1, 0x19}));
}

TEST_F(Blocks, GroupCommandIsOneStringUnlessTooLongAndGoesOnAfterAFailure) {
    ArrangeDevices();
    ASSERT_EQ(ThreeDevices(), 1u);
    EXPECT_EQ(Sent(), (Bytes{0xA0, 0x09, 0x02, 0x00, 0xA0, 0x20, 0x55, //
                             0xA0, 0x09, 0x02, 0x00, 0x10, 0x30, 0x66, //
                             0xA0, 0x05, 0x02, 0x00, 0x18, 0x40, 0x77}));
    EXPECT_EQ(Sim().hostWrites(), 1u);
    EXPECT_TRUE(Has("SUCCESS: BrimPMBusGroupCommand(num_devices=3, ...)"));
    Clear();
    ASSERT_EQ(Group({0xA0}, {3}, {1}, {{0x21, 0x34, 0x12}}), 1u);
    EXPECT_EQ(Sent(), (Bytes{0xA0, 0x05, 0x04, 0x00, 0xA0, 0x21, 0x34, 0x12, 0x04}));
    EXPECT_EQ(Sim().smbusPecErrors(0xA0), 0u);
    // The longest frame: 255 bytes without a PEC.
    Clear();
    Bytes longest(255, 0x33);
    longest[0] = 0x00;
    ASSERT_EQ(Group({0x10}, {255}, {0}, {longest}), 1u);
    EXPECT_EQ(Sent().size(), 260u);
    EXPECT_EQ(Sim().memoryByte(0x10, 0x01), 0x33);
    // Too long for one string: device by device.
    Clear();
    Bytes first(100, 0x11), second(100, 0x22);
    first[0] = second[0] = 0x00;
    // Nobody answers at 0x50; the device after it still gets its frame.
    EXPECT_EQ(Group({0x50, 0x10}, {100, 100}, {0, 0}, {first, second}), 0u);
    EXPECT_EQ(Sim().hostWrites(), 2u);
    EXPECT_EQ(Sent().size(), 210u);
    EXPECT_EQ(Sim().memoryByte(0x10, 0x01), 0x22);
    EXPECT_TRUE(Has("device 0 failed; continuing..."));
    EXPECT_TRUE(Has("FAIL: BrimPMBusGroupCommand(num_devices=2, ...)"));
}

} // namespace
} // namespace bus
