// Helpers of the simulator tests.
#ifndef TESTS_SIM_SIM_H
#define TESTS_SIM_SIM_H

#include "Board.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace simtest {

using Bytes = std::vector<uint8_t>;

inline const std::string kBannerText = "Kelvo PODLINK v01.05.47\r\n";
inline const Bytes kBanner(kBannerText.begin(), kBannerText.end());
const Bytes kReadByte{0xA0, 0x05, 0x01, 0x01, 0x2A, 0x00}; // answered 0x12 0xB0

// Writes and returns everything the board answered (no latency configured).
inline Bytes talk(podsim::Board& board, const Bytes& out) {
    board.hostWrite(out);
    return board.readAvailable();
}

inline std::unique_ptr<podsim::Board> makeBoard(const std::string& cfg = "") {
    return std::make_unique<podsim::Board>(podsim::Config::fromText(cfg));
}

// Polls until ready() holds; false after `ms` milliseconds.
template <typename Ready> bool eventually(Ready ready, int ms = 2000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!ready()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

} // namespace simtest

#endif
