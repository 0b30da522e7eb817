#include "SimulatedBoard.h"

#include "AppManager.h"
#include "DeviceAccess.h"

#include <dlfcn.h>

#include <cstdlib>

namespace simboard {
namespace {

using BoardHook = podsim::Board* (*)(unsigned index);
using ReloadHook = int (*)(const char* configText);

// The library loads the stand-in by this path; opening it again yields the
// same instance and so the same boards.
void* standIn() {
    static void* const handle = [] {
        const char* path = std::getenv("RERODADA_D2XX_LIBRARY");
        return path && *path ? dlopen(path, RTLD_NOW) : nullptr;
    }();
    return handle;
}

template <typename Hook> Hook hook(const char* name) {
    void* handle = standIn();
    return handle ? reinterpret_cast<Hook>(dlsym(handle, name)) : nullptr;
}

} // namespace

podsim::Board* board() {
    const BoardHook boardHook = hook<BoardHook>("podsim_d2xx_board");
    return boardHook ? boardHook(0) : nullptr;
}

bool reload(const std::string& configText) {
    const ReloadHook reloadHook = hook<ReloadHook>("podsim_d2xx_reload");
    if (!reloadHook) return false;
    boardDisconnect();
    return reloadHook(configText.c_str()) == 0;
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
