#include "SimulatedBoard.h"

#include "AppManager.h"
#include "DeviceAccess.h"
#include "StandIn.h"

namespace simboard {

podsim::Board* board() {
    return standin::board();
}

bool reload(const std::string& configText) {
    boardDisconnect();
    return standin::reload(configText);
}

} // namespace simboard

void SimulatedBoardTest::SetUp() {
    ASSERT_TRUE(simboard::reload(boardConfig())) << "the D2XX stand-in did not load";
    ASSERT_NE(simboard::board(), nullptr);
    ASSERT_TRUE(boardConnect());
    AppManager::setDeviceAddress(0x2A);
    clearTraffic();
}

void SimulatedBoardTest::TearDown() {
    boardDisconnect();
}
