// The test hooks of the D2XX stand-in that RERODADA_D2XX_LIBRARY names: opening
// it again yields the instance the board link loaded, and so its boards.
#ifndef TESTS_SUPPORT_STANDIN_H
#define TESTS_SUPPORT_STANDIN_H

#include "Board.h"

#include <dlfcn.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

namespace standin {

inline void* library() {
    static void* const handle = [] {
        const char* path = std::getenv("RERODADA_D2XX_LIBRARY");
        return path && *path ? dlopen(path, RTLD_NOW) : nullptr;
    }();
    return handle;
}

template <typename Hook> Hook hook(const char* name) {
    return library() ? reinterpret_cast<Hook>(dlsym(library(), name)) : nullptr;
}

// The board of USB device index; null without the stand-in.
inline podsim::Board* board(unsigned index = 0) {
    const auto get = hook<podsim::Board* (*)(unsigned)>("podsim_d2xx_board");
    return get ? get(index) : nullptr;
}

// Replaces every simulated device (empty text: defaults), invalidating open
// handles and earlier boards; false when the stand-in is missing or refused it.
inline bool reload(const std::string& configText) {
    const auto load = hook<int (*)(const char*)>("podsim_d2xx_reload");
    return load && load(configText.c_str()) == 0;
}

// Polls until ready() holds, as a simulated board's state changes on another
// thread; false only after a wait that only a hang reaches.
template <typename Ready> bool eventually(Ready ready, int ms = 10000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!ready()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

} // namespace standin

#endif
