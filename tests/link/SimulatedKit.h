// The simulated kit from a test: the D2XX stand-in's boards, the library's
// state, what it traces and lists, and boards on a pseudo-terminal.
#ifndef TESTS_LINK_SIMULATEDKIT_H
#define TESTS_LINK_SIMULATEDKIT_H

#include "Board.h"
#include "Connection.h"
#include "Logs.h"
#include "StandIn.h"
#include "rerodada.h"
#if !defined(_WIN32)
#include "PtyServer.h"
#endif

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace linktest {

constexpr uint8_t kChip = 0x2A;

// Reconfigures every simulated USB device (empty: defaults).
inline void ReloadUsb(const std::string& config) {
    ASSERT_NE(standin::library(), nullptr) << "cannot load the D2XX simulator: " << dlerror();
    ASSERT_TRUE(standin::reload(config)) << config;
}

inline podsim::Board* UsbBoard(unsigned index = 0) {
    return standin::board(index);
}

// Disconnected, searching ports and rates, with the default prefix.
inline void ResetLibraryState() {
    BrimBoardDisconnect();
    BrimBoardAutoPort(true);
    BrimBoardAutoBaud(true);
    BrimBoardBannerRequiresPrefix("Kelvo");
}

// Resets and read time-outs short enough for searches down the rate table,
// still well above a simulated board's answer; the defaults come back after.
struct QuickSearch {
    QuickSearch() { Swap(); }
    ~QuickSearch() { Swap(); }
    void Swap() {
        std::swap(rerodada::gnRESET_HOLD_msec, hold);
        std::swap(rerodada::gnRESET_SETTLE_msec, settle);
        std::swap(rerodada::gnGROSS_READSTRING_TIMEOUT_msec, gross);
    }
    uint32_t hold = 0, settle = 10, gross = 150;
};

// "Suite.Name" of the running test, for freshprocess::run.
inline std::string CurrentTestName() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return std::string(info->test_suite_name()) + "." + info->name();
}

// The library's debug trace while body runs.
inline std::string TraceOf(const std::function<void()>& body) {
    rerodada::bDebugToConsole = true;
    testing::internal::CaptureStdout();
    body();
    rerodada::bDebugToConsole = false;
    return testing::internal::GetCapturedStdout();
}

// What the library lists through the callback while body runs.
inline std::string collected;
inline void RERODADA_CALL Collect(const char* text) {
    collected += text;
}
inline std::string ListingOf(const std::function<void()>& body) {
    collected.clear();
    BrimLogCallback(Collect);
    body();
    BrimLogCallback(nullptr);
    return collected;
}

// The chip's identity register read through the library, 0 on failure.
inline uint8_t ChipId() {
    uint8_t id = 0;
    return BrimSMBusReadByte(kChip, 0x00, &id) == 1 ? id : 0;
}

#if !defined(_WIN32)
// A board on a pseudo-terminal, as a serial port or the kernel driver's USB tty.
struct PtyBoard {
    explicit PtyBoard(const std::string& config = "", bool usb = false)
        : board(podsim::Config::fromText(config)), server(board) {
        server.setUsb(usb);
        EXPECT_TRUE(server.start()) << server.error();
    }
    std::string path() const { return server.slavePath(); }
    podsim::Board board;
    podsim::PtyServer server;
};
#endif

} // namespace linktest

#endif
