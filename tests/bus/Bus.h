// The simulated board behind the bus tests: firmware configurations, the
// traffic record, replies a test damages and the captured listing.
#ifndef TESTS_BUS_BUS_H
#define TESTS_BUS_BUS_H

#include "Board.h"
#include "StandIn.h"
#include "rerodada.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace bus {

using Bytes = std::vector<uint8_t>;

// Plain devices at the alert response address (0x18) and the host address
// (0x10) give the alert response and write-to-host a target.
inline const std::string kAllNative = "native_bitmask = 0x17FF\ndevice = 0x18 0x10\n";
inline const std::string kNoNative = "old_firmware = true\ndevice = 0x18 0x10\n";
inline const std::string kFlagOnly = "native_bitmask = 0x0003\ndevice = 0x18 0x10\n";
inline const std::string kWriteReadOnly = "native_bitmask = 0x0023\ndevice = 0x18 0x10\n";

// The listing since the last Clear, and the one the last connect wrote.
inline std::string gListing, gConfig, gConnectListing;

inline void RERODADA_CALL CaptureListing(const char* text) {
    gListing += text;
}
inline podsim::Board& Sim() {
    return *standin::board();
}
inline Bytes Sent() {
    return Sim().hostBytes();
}
inline bool Has(const std::string& text) {
    return gListing.find(text) != std::string::npos;
}
inline void Clear() {
    Sim().clearTraffic();
    gListing.clear();
}

// Connects to a fresh board with this configuration unless the one in use
// has it; either way with no fault, no traffic and an empty listing.
inline void UseBoard(const std::string& config) {
    BrimLogCallback(CaptureListing);
    Sim().clearScriptedReplies();
    if (gConfig != config || !BrimBoardConnected()) {
        gConfig.clear();
        BrimBoardDisconnect();
        // A 1 ms latency timer keeps each exchange short.
        ASSERT_TRUE(standin::reload(config + "\nusb.latency_timer = 1\n")) << config;
        gListing.clear();
        ASSERT_TRUE(BrimBoardConnect()) << config;
        gConnectListing = gListing;
        gConfig = config;
    }
    Clear();
}

// The board's reply to each host write since the traffic was cleared.
inline std::vector<Bytes> Replies() {
    std::vector<Bytes> replies;
    for (const podsim::TrafficChunk& c : Sim().traffic()) {
        if (c.direction == podsim::TrafficChunk::Direction::HostToBoard)
            replies.emplace_back();
        else if (!replies.empty())
            replies.back().insert(replies.back().end(), c.bytes.begin(), c.bytes.end());
    }
    return replies;
}

// The portable string of a transaction: a write phase (unless it only
// reads), then a read phase of `reads` bytes, the last unacknowledged.
inline Bytes Portable(uint8_t address, const Bytes& writes, size_t reads) {
    Bytes s{0xA0, 0x00};
    if (!writes.empty() || reads == 0) {
        s.insert(s.end(), {0xA1, uint8_t(address & 0xFE)});
        for (uint8_t b : writes)
            s.insert(s.end(), {0xA1, b});
        if (reads) s.insert(s.end(), {0xA0, 0x01});
    }
    if (reads) s.insert(s.end(), {0xA1, uint8_t(address | 0x01)});
    for (size_t i = 0; i < reads; ++i)
        s.insert(s.end(), {0xA2, uint8_t(i + 1 < reads)});
    s.insert(s.end(), {0xA3, 0x00});
    return s;
}

// Which of an operation's three functions a test calls.
enum Form { kDispatch, kPortable, kNative };
#define BUS_FORMS(fn) (std::array{&fn, &fn##_portable, &fn##_native})

// Values the portable and native forms must agree on, where operations read.
inline void ArrangeDevices() {
    Sim().setChipRegister(0x00, 0x12);
    Sim().setChipRegister(0x03, 0x6C);
    Sim().setSmbusWord(0xA0, 0x05, 0x1234);
    for (uint8_t device : {0x10, 0x18})
        for (unsigned i = 0; i < 256; ++i)
            Sim().setMemoryByte(device, uint8_t(i), 0x77);
}

inline uint32_t Group(std::vector<uint8_t> addresses, std::vector<uint8_t> counts,
                      std::vector<uint8_t> pec, const std::vector<Bytes>& data) {
    std::vector<const uint8_t*> pointers;
    for (const Bytes& d : data)
        pointers.push_back(d.data());
    return BrimPMBusGroupCommand(uint8_t(addresses.size()), addresses.data(), counts.data(),
                                 pec.data(), pointers.data());
}

inline uint32_t ThreeDevices() {
    return Group({0xA0, 0x10, 0x18}, {2, 2, 2}, {0, 0, 0},
                 {{0x20, 0x55}, {0x30, 0x66}, {0x40, 0x77}});
}

} // namespace bus

#endif
