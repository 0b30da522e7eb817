#include "AddressScan.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace {

// Devices answer quick commands from a per-address script whose last answer
// repeats; the scan's probes are counted per address.
struct ScriptedBus {
    std::map<uint8_t, std::vector<bool>> answers;
    std::map<uint8_t, int> probes;

    std::vector<uint8_t> scan() {
        uint8_t out[128] = {};
        const int count = scanBus(
            [this](uint8_t address) {
                ++probes[address];
                auto it = answers.find(address);
                if (it == answers.end()) return false;
                const bool answer = it->second.front();
                if (it->second.size() > 1) it->second.erase(it->second.begin());
                return answer;
            },
            out);
        return std::vector<uint8_t>(out, out + count);
    }
};

TEST(AddressScanTest, EveryEvenAddressIsProbedAndAnswersComeInOrder) {
    ScriptedBus empty;
    EXPECT_TRUE(empty.scan().empty());
    for (int address = 0; address < 256; ++address)
        EXPECT_EQ(empty.probes[uint8_t(address)], address >= 2 && address % 2 == 0) << address;

    ScriptedBus full;
    std::vector<uint8_t> all;
    for (int address = 2; address <= 254; address += 2) {
        full.answers[uint8_t(address)] = {true};
        all.push_back(uint8_t(address));
    }
    EXPECT_EQ(full.scan(), all);
    EXPECT_EQ(full.probes[0x2A], 2);
}

// A device must answer two quick commands in a row; one that misses the
// second is probed again, a bounded number of times, except at the lowest
// address.
TEST(AddressScanTest, ADeviceMissingTheSecondQuickIsProbedAgain) {
    std::vector<bool> alternating;
    for (int i = 0; i < 1000; ++i)
        alternating.push_back(i % 2 == 0);
    const struct {
        uint8_t address;
        std::vector<bool> answers;
        std::vector<uint8_t> found;
        int probes;
    } rows[] = {{0x2A, {true, false, true}, {0x2A}, 4},
                {0x50, alternating, {}, 2 * kScanProbeRounds},
                {0x02, {true, false, true}, {}, 2}};
    for (const auto& row : rows) {
        SCOPED_TRACE(int(row.address));
        ScriptedBus bus;
        bus.answers[row.address] = row.answers;
        EXPECT_EQ(bus.scan(), row.found);
        EXPECT_EQ(bus.probes[row.address], row.probes);
    }
}

} // namespace
