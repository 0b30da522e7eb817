// The simulated board the library reaches through the D2XX stand-in.
#ifndef SIMULATEDBOARD_H
#define SIMULATEDBOARD_H

#include "Board.h"
#include "StandIn.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace simboard {

inline podsim::Board* board() {
    return standin::board();
}
// Disconnects, then fresh devices from the config text (empty: the default).
bool reload(const std::string& configText = std::string());

} // namespace simboard

// A fresh board, connected, no traffic yet, addressing the RAR4120E.
class SimulatedBoardTest : public testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    virtual std::string boardConfig() const { return std::string(); }

    static podsim::Board& board() { return *simboard::board(); }
    static std::vector<uint8_t> hostBytes() { return simboard::board()->hostBytes(); }
    static void clearTraffic() { simboard::board()->clearTraffic(); }
};

#endif // SIMULATEDBOARD_H
