// The test hooks of the simulator's D2XX stand-in. The board link loads the
// stand-in from RERODADA_D2XX_LIBRARY; opening that path again yields the
// same instance, and so the same simulated boards.
#ifndef TESTS_SUPPORT_STANDIN_H
#define TESTS_SUPPORT_STANDIN_H

#include "Board.h"

#include <dlfcn.h>

#include <cstdlib>
#include <string>

namespace standin {

inline void* library() {
    static void* const handle = [] {
        const char* path = std::getenv("RERODADA_D2XX_LIBRARY");
        return path && *path ? dlopen(path, RTLD_NOW) : nullptr;
    }();
    return handle;
}

template <typename Hook> Hook hook(const char* name) {
    void* handle = library();
    return handle ? reinterpret_cast<Hook>(dlsym(handle, name)) : nullptr;
}

// The board of USB device index; null without the stand-in.
inline podsim::Board* board(unsigned index = 0) {
    const auto boardHook = hook<podsim::Board* (*)(unsigned)>("podsim_d2xx_board");
    return boardHook ? boardHook(index) : nullptr;
}

// Replaces every simulated device (empty text: defaults); false when the
// stand-in is missing or refused the configuration. Open handles and earlier
// boards become invalid.
inline bool reload(const std::string& configText) {
    const auto reloadHook = hook<int (*)(const char*)>("podsim_d2xx_reload");
    return reloadHook && reloadHook(configText.c_str()) == 0;
}

} // namespace standin

#endif
