#include "AddressScan.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

// A device that misses the second of two quick commands is probed again, a
// bounded number of times, except at the lowest address.
TEST(AddressScanTest, ADeviceMissingTheSecondQuickIsProbedAgain) {
    std::vector<bool> alternating;
    for (int i = 0; i < 1000; ++i)
        alternating.push_back(i % 2 == 0);
    // A device's address, its answers (the last one repeats), what the scan
    // finds and how often it probes the device.
    const std::tuple<uint8_t, std::vector<bool>, std::vector<uint8_t>, int> rows[] = {
        {0x2A, {true, false, true}, {0x2A}, 4},
        {0x50, alternating, {}, 2 * kScanProbeRounds},
        {0x02, {true, false, true}, {}, 2}};
    for (const auto& [device, replies, found, probed] : rows) {
        SCOPED_TRACE(int(device));
        std::vector<bool> answers = replies;
        std::map<uint8_t, int> probes;
        uint8_t out[128] = {};
        const int count = scanBus(
            [&, device = device](uint8_t address) {
                ++probes[address];
                if (address != device) return false;
                const bool answer = answers.front();
                if (answers.size() > 1) answers.erase(answers.begin());
                return answer;
            },
            out);
        EXPECT_EQ(std::vector<uint8_t>(out, out + count), found);
        EXPECT_EQ(probes[device], probed);
        EXPECT_EQ(probes.size(), 127u);
    }
}
