#include "SimulatedBoard.h"

#include "AppManager.h"
#include "DeviceAccess.h"

bool simboard::reload(const std::string& configText) {
    boardDisconnect();
    return standin::reload(configText);
}

void SimulatedBoardTest::SetUp() {
    ASSERT_TRUE(simboard::reload(boardConfig())) << "the D2XX stand-in did not load";
    ASSERT_TRUE(boardConnect());
    AppManager::setDeviceAddress(0x2A);
    clearTraffic();
}

void SimulatedBoardTest::TearDown() {
    boardDisconnect();
}
