#include "BusBoard.h"

#include "rerodada.h"

#include <dlfcn.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace bus {

// Plain devices at the SMBus alert response address (0x18) and the host
// address (0x10) give the alert response and write-to-host a target.
const char* const kAllNative = "native_bitmask = 0x17FF\ndevice = 0x18 0x10\n";
const char* const kNoNative = "old_firmware = true\ndevice = 0x18 0x10\n";
const char* const kFlagOnly = "native_bitmask = 0x0003\ndevice = 0x18 0x10\n";
const char* const kWriteReadOnly = "native_bitmask = 0x0023\ndevice = 0x18 0x10\n";

namespace {

// The board-link library loads the tap, which loads the simulator's stand-in;
// this runs before the library's first call reads RERODADA_D2XX_LIBRARY.
// The path is copied: setenv may free the text getenv pointed to.
const std::string kSimLibraryPath = [] {
    const char* configured = std::getenv("RERODADA_D2XX_LIBRARY");
    std::string sim = configured && *configured ? configured : BUS_SIM_LIBRARY;
    setenv("BUS_TAP_TARGET", sim.c_str(), 1);
    setenv("RERODADA_D2XX_LIBRARY", BUS_TAP_LIBRARY, 1);
    setenv("RERODADA_SERIAL_PORTS", "", 0);
    return sim;
}();
const char* const kSimLibrary = kSimLibraryPath.c_str();

template <typename Fn> Fn Hook(const char* library, const char* name) {
    void* module = dlopen(library, RTLD_NOW);
    void* symbol = module ? dlsym(module, name) : nullptr;
    if (!symbol) {
        ADD_FAILURE() << "no " << name << " in " << library;
        std::abort();
    }
    return reinterpret_cast<Fn>(symbol);
}

podsim::Board* SimBoard() {
    static auto board = Hook<podsim::Board* (*)(unsigned)>(kSimLibrary, "podsim_d2xx_board");
    return board(0);
}

int Reload(const std::string& text) {
    static auto reload = Hook<int (*)(const char*)>(kSimLibrary, "podsim_d2xx_reload");
    return reload(text.c_str());
}

void TapCorrupt(unsigned write, unsigned position, uint8_t mask) {
    static auto corrupt =
        Hook<void (*)(unsigned, unsigned, uint8_t)>(BUS_TAP_LIBRARY, "bus_tap_corrupt");
    corrupt(write, position, mask);
}

void TapClear() {
    static auto clear = Hook<void (*)()>(BUS_TAP_LIBRARY, "bus_tap_clear");
    clear();
}

std::string listing;
std::string currentConfig;
unsigned probedBitmask = 0;

void RERODADA_CALL CaptureListing(const char* text) {
    listing += text;
}

} // namespace

void UseBoard(const std::string& config) {
    BrimLogCallback(CaptureListing);
    TapClear();
    if (currentConfig != config || !BrimBoardConnected()) {
        currentConfig.clear();
        BrimBoardDisconnect();
        // A 1 ms latency timer keeps each exchange short.
        ASSERT_EQ(Reload(config + "\nusb.latency_timer = 1\n"), 0) << config;
        listing.clear();
        ASSERT_TRUE(BrimBoardConnect()) << config;
        const char* key = "nBrimNativeSMBusCommandsBitmask=0x";
        size_t at = listing.find(key);
        ASSERT_NE(at, std::string::npos);
        probedBitmask =
            static_cast<unsigned>(std::strtoul(listing.c_str() + at + strlen(key), nullptr, 16));
        currentConfig = config;
    }
    Sim().clearFault();
    Sim().clearTraffic();
    listing.clear();
}

podsim::Board& Sim() {
    return *SimBoard();
}

Bytes Sent() {
    return Sim().hostBytes();
}

void ClearTraffic() {
    Sim().clearTraffic();
}

void Fault(podsim::FaultKind kind, uint32_t bytes, uint32_t times) {
    podsim::Fault f;
    f.kind = kind;
    f.bytes = bytes;
    f.times = times;
    Sim().setFault(f);
}

void CorruptReply(unsigned write, unsigned position, uint8_t mask) {
    TapCorrupt(write, position, mask);
}

const std::string& Listing() {
    return listing;
}

void ClearListing() {
    listing.clear();
}

unsigned ProbedBitmask() {
    return probedBitmask;
}

const char* FormName(Form form) {
    return form == kPortable ? "portable" : form == kNative ? "native" : "dispatcher";
}

void ArrangeDevices() {
    podsim::Board& sim = Sim();
    const uint8_t registers[0x17] = {0x12, 0x00, 0x01, 0x6C, 0x00, 0xFF, 0xFF, 0xFF,
                                     0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x10, 0x10,
                                     0x00, 0x00, 0x00, 0x00, 0x02, 0x04, 0x3F};
    for (uint8_t r = 0; r < 0x17; ++r)
        sim.setChipRegister(r, registers[r]);
    for (uint8_t c = 0; c < 0x80; ++c)
        sim.setSmbusWord(0xA0, c, static_cast<uint16_t>(c * 0x0101));
    sim.setSmbusWord(0xA0, 0x05, 0x1234);
    for (unsigned c = 0x80; c < 0xC0; ++c) {
        uint8_t b = static_cast<uint8_t>(c);
        sim.setSmbusBlock(0xA0, b, {b, uint8_t(b + 1), uint8_t(b + 2), uint8_t(b + 3)});
    }
    for (uint8_t device : {0x10, 0x18})
        for (unsigned i = 0; i < 256; ++i)
            sim.setMemoryByte(device, static_cast<uint8_t>(i), 0x77);
}

} // namespace bus
