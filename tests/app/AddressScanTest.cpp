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
    const struct {
        uint8_t address;
        std::vector<bool> answers; // the last one repeats
        std::vector<uint8_t> found;
        int probes;
    } rows[] = {{0x2A, {true, false, true}, {0x2A}, 4},
                {0x50, alternating, {}, 2 * kScanProbeRounds},
                {0x02, {true, false, true}, {}, 2}};
    for (const auto& row : rows) {
        SCOPED_TRACE(int(row.address));
        std::vector<bool> answers = row.answers;
        std::map<uint8_t, int> probes;
        uint8_t out[128] = {};
        const int count = scanBus(
            [&](uint8_t address) {
                ++probes[address];
                if (address != row.address) return false;
                const bool answer = answers.front();
                if (answers.size() > 1) answers.erase(answers.begin());
                return answer;
            },
            out);
        EXPECT_EQ(std::vector<uint8_t>(out, out + count), row.found);
        EXPECT_EQ(probes[row.address], row.probes);
        EXPECT_EQ(probes.size(), 127u);
    }
}
