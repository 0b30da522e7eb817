#include "SimulatedKit.h"

#include "StandIn.h"
#include "rerodada.h"

#include <gtest/gtest.h>

namespace linktest {
namespace {

// The stand-in must load: every test here runs on it.
void* SimLibrary() {
    void* module = standin::library();
    if (!module) ADD_FAILURE() << "cannot load the D2XX simulator: " << dlerror();
    return module;
}

} // namespace

void ReloadUsb(const std::string& config) {
    ASSERT_NE(SimLibrary(), nullptr);
    ASSERT_TRUE(standin::reload(config)) << config;
}

podsim::Board* UsbBoard(unsigned index) {
    return standin::board(index);
}

void ResetLibraryState() {
    BrimBoardDisconnect();
    BrimBoardAutoPort(true);
    BrimBoardAutoBaud(true);
    BrimBoardBannerRequiresPrefix("Kelvo");
}

} // namespace linktest
