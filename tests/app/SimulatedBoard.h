// The simulated PODLINK board that the board-link library reaches through
// the in-process D2XX stand-in (RERODADA_D2XX_LIBRARY).
#ifndef SIMULATEDBOARD_H
#define SIMULATEDBOARD_H

#include "Board.h"
#include "StandIn.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace simboard {

// The first simulated USB device's board; null without the stand-in.
inline podsim::Board* board() {
    return standin::board();
}
// Fresh simulated devices from the config text (empty: the default board),
// after disconnecting the library from the old ones.
bool reload(const std::string& configText = std::string());

} // namespace simboard

// A fresh board, connected, with an empty traffic record and the device
// address at the simulated RAR4120E.
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
