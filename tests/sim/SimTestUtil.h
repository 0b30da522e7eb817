// Helpers shared by the simulator tests.
#pragma once

#include "Board.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace simtest {

using Bytes = std::vector<uint8_t>;

inline std::string hex(const Bytes& b) {
    std::string s;
    char buf[4];
    for (uint8_t v : b) {
        std::snprintf(buf, sizeof buf, "%02X ", v);
        s += buf;
    }
    return s;
}

inline Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

inline Bytes text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

// Writes and returns everything the board answered (no latency configured).
inline Bytes talk(podsim::Board& board, const Bytes& out) {
    board.hostWrite(out);
    return board.readAvailable();
}

inline std::unique_ptr<podsim::Board> makeBoard(const std::string& cfg = "") {
    return std::make_unique<podsim::Board>(podsim::Config::fromText(cfg));
}

inline void sleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

// Microseconds from start until ready() first holds, polled; -1 after two seconds.
// Lower bounds measured this way hold however slowly the test runs.
template <typename Ready>
long long usUntil(std::chrono::steady_clock::time_point start, Ready ready) {
    using namespace std::chrono;
    while (!ready()) {
        if (steady_clock::now() - start > seconds(2)) return -1;
        std::this_thread::sleep_for(microseconds(200));
    }
    return duration_cast<microseconds>(steady_clock::now() - start).count();
}

inline bool contains(const Bytes& hay, const Bytes& needle) {
    return std::search(hay.begin(), hay.end(), needle.begin(), needle.end()) != hay.end();
}

// SMBus PEC, written out here so the tests do not check the simulator with itself.
inline uint8_t crc8(const Bytes& data) {
    uint8_t crc = 0;
    for (uint8_t b : data) {
        crc ^= b;
        for (int i = 0; i < 8; ++i)
            crc = uint8_t((crc & 0x80) ? (crc << 1) ^ 0x07 : crc << 1);
    }
    return crc;
}

} // namespace simtest
