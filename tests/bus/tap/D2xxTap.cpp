// A D2XX library for the bus tests that stands between the board-link
// library and the simulator's D2XX stand-in. It forwards every call to the
// stand-in named by BUS_TAP_TARGET and can flip bits of one byte of a chosen
// reply, so that tests reach reply shapes the simulated firmware never sends
// (a wrong completion byte in any position).
#include "d2xx/D2xxApi.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace {

struct Target {
    void* module = nullptr;
    template <typename Fn> Fn get(const char* name) {
        if (!module) {
            const char* path = std::getenv("BUS_TAP_TARGET");
            module = path ? dlopen(path, RTLD_NOW | RTLD_LOCAL) : nullptr;
            if (!module) {
                std::fprintf(stderr, "bus-d2xx-tap: cannot load BUS_TAP_TARGET\n");
                std::abort();
            }
        }
        return reinterpret_cast<Fn>(dlsym(module, name));
    }
};

Target& target() {
    static Target t;
    return t;
}

// The byte to change: byte `position` of the reply to host write number
// `write`, counted from when the change was armed.
struct Corruption {
    std::mutex mutex;
    bool armed = false;
    unsigned write = 0;
    unsigned position = 0;
    uint8_t mask = 0;
    unsigned writesSeen = 0;
    bool inTargetReply = false;
    unsigned replyOffset = 0;
} corruption;

} // namespace

#define BUS_TAP_FORWARD(name, params, args)                                                        \
    uint32_t PODSIM_D2XX_CALL name params {                                                        \
        static auto fn = target().get<decltype(&name)>(#name);                                     \
        return fn args;                                                                            \
    }

BUS_TAP_FORWARD(FT_ListDevices, (void* a, void* b, uint32_t flags), (a, b, flags))
BUS_TAP_FORWARD(FT_Open, (int index, void** handle), (index, handle))
BUS_TAP_FORWARD(FT_GetDeviceInfo,
                (void* h, uint32_t* type, uint32_t* id, char* serial, char* description, void* d),
                (h, type, id, serial, description, d))
BUS_TAP_FORWARD(FT_SetBaudRate, (void* h, uint32_t baud), (h, baud))
BUS_TAP_FORWARD(FT_SetDataCharacteristics, (void* h, uint8_t w, uint8_t s, uint8_t p), (h, w, s, p))
BUS_TAP_FORWARD(FT_SetFlowControl, (void* h, uint16_t mode, uint8_t on, uint8_t off),
                (h, mode, on, off))
BUS_TAP_FORWARD(FT_SetTimeouts, (void* h, uint32_t r, uint32_t w), (h, r, w))
BUS_TAP_FORWARD(FT_Purge, (void* h, uint32_t mask), (h, mask))
BUS_TAP_FORWARD(FT_SetDtr, (void* h), (h))
BUS_TAP_FORWARD(FT_ClrDtr, (void* h), (h))
BUS_TAP_FORWARD(FT_SetRts, (void* h), (h))
BUS_TAP_FORWARD(FT_ClrRts, (void* h), (h))
BUS_TAP_FORWARD(FT_GetModemStatus, (void* h, uint32_t* status), (h, status))
BUS_TAP_FORWARD(FT_GetStatus, (void* h, uint32_t* rx, uint32_t* tx, uint32_t* event),
                (h, rx, tx, event))
BUS_TAP_FORWARD(FT_Close, (void* h), (h))
BUS_TAP_FORWARD(FT_SetLatencyTimer, (void* h, uint8_t ms), (h, ms))

uint32_t PODSIM_D2XX_CALL FT_Write(void* h, const void* buffer, uint32_t count, uint32_t* written) {
    static auto fn = target().get<decltype(&FT_Write)>("FT_Write");
    {
        std::lock_guard<std::mutex> lock(corruption.mutex);
        corruption.inTargetReply = corruption.armed && corruption.writesSeen == corruption.write;
        ++corruption.writesSeen;
        corruption.replyOffset = 0;
    }
    return fn(h, buffer, count, written);
}

uint32_t PODSIM_D2XX_CALL FT_Read(void* h, void* buffer, uint32_t count, uint32_t* got) {
    static auto fn = target().get<decltype(&FT_Read)>("FT_Read");
    uint32_t status = fn(h, buffer, count, got);
    std::lock_guard<std::mutex> lock(corruption.mutex);
    if (got == nullptr || !corruption.inTargetReply) return status;
    auto* bytes = static_cast<uint8_t*>(buffer);
    for (uint32_t i = 0; i < *got; ++i, ++corruption.replyOffset) {
        if (corruption.replyOffset == corruption.position) {
            bytes[i] ^= corruption.mask;
            corruption.armed = false;
            corruption.inTargetReply = false;
            break;
        }
    }
    return status;
}

// Flips `mask` in byte `position` of the reply to the host's write number
// `write` from now (0: the next write). One change per call.
PODSIM_D2XX_EXPORT void bus_tap_corrupt(unsigned write, unsigned position, uint8_t mask) {
    std::lock_guard<std::mutex> lock(corruption.mutex);
    corruption.armed = true;
    corruption.write = write;
    corruption.position = position;
    corruption.mask = mask;
    corruption.writesSeen = 0;
    corruption.inTargetReply = false;
}

PODSIM_D2XX_EXPORT void bus_tap_clear() {
    std::lock_guard<std::mutex> lock(corruption.mutex);
    corruption.armed = false;
    corruption.inTargetReply = false;
}
