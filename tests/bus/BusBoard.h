// The simulated board behind the bus tests: the D2XX stand-in reached
// through the reply tap, board configurations, the traffic record and a
// captured listing.
#ifndef TESTS_BUS_BUSBOARD_H
#define TESTS_BUS_BUSBOARD_H

#include "Board.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace bus {

using Bytes = std::vector<uint8_t>;

// Firmware configurations of the simulated board.
extern const char* const kAllNative;     // every native command the board has
extern const char* const kNoNative;      // old firmware: no query, no native commands
extern const char* const kFlagOnly;      // native flag set, no native command bit
extern const char* const kWriteReadOnly; // native flag and 0xA0 0x05 alone

// Connects to a fresh simulated board with this configuration, unless the
// board in use already has it; either way with an empty traffic record, no
// fault and an empty captured listing.
void UseBoard(const std::string& config);
podsim::Board& Sim();

// Every byte the host sent since UseBoard or ClearTraffic.
Bytes Sent();
void ClearTraffic();

// The board answers the next `writes` host writes with this fault.
void Fault(podsim::FaultKind kind, uint32_t bytes = 0, uint32_t times = 1);
// Flips `mask` in byte `position` of the reply to host write `write` (0: the next).
void CorruptReply(unsigned write, unsigned position, uint8_t mask = 0x01);

// Listing text written since UseBoard or ClearListing.
const std::string& Listing();
void ClearListing();

// The native-command bitmask the probe reported, from its listing entry.
unsigned ProbedBitmask();

// Which of an operation's three functions a test calls.
enum Form { kDispatch, kPortable, kNative };
const char* FormName(Form form);

template <typename Fn> struct Forms {
    Fn dispatch, portable, native;
    Fn operator[](Form form) const {
        return form == kPortable ? portable : form == kNative ? native : dispatch;
    }
};
template <typename Fn> Forms<Fn> MakeForms(Fn dispatch, Fn portable, Fn native) {
    return {dispatch, portable, native};
}
#define BUS_FORMS(fn) ::bus::MakeForms(&fn, &fn##_portable, &fn##_native)

// Puts a value the portable and native forms must agree on into every
// register an operation may read.
void ArrangeDevices();

// A fixture for tests on one board configuration.
class BoardTest : public testing::Test {
  protected:
    virtual const char* Config() const { return kAllNative; }
    void SetUp() override { UseBoard(Config()); }
};

} // namespace bus

#endif
