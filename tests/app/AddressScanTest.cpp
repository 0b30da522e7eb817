#include "AddressScan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <vector>

namespace {

// A bus whose devices answer quick commands from a per-address script: each
// call takes the next answer, and the last answer repeats forever.
class ScriptedBus {
  public:
    void setAnswers(uint8_t address, std::vector<bool> answers) { m_answers[address] = answers; }

    bool quick(uint8_t address) {
        ++m_probes[address];
        const auto it = m_answers.find(address);
        if (it == m_answers.end()) return false;
        std::vector<bool>& answers = it->second;
        const bool answer = answers.front();
        if (answers.size() > 1) answers.erase(answers.begin());
        return answer;
    }

    int probes(uint8_t address) const {
        const auto it = m_probes.find(address);
        return it == m_probes.end() ? 0 : it->second;
    }

    std::vector<uint8_t> scan() {
        uint8_t out[128] = {};
        const int count = scanBus([this](uint8_t address) { return quick(address); }, out);
        return std::vector<uint8_t>(out, out + count);
    }

  private:
    std::map<uint8_t, std::vector<bool>> m_answers;
    std::map<uint8_t, int> m_probes;
};

TEST(AddressScanTest, EmptyBusFindsNothingAndProbesEachEvenAddressOnce) {
    ScriptedBus bus;
    EXPECT_TRUE(bus.scan().empty());
    for (int address = 0; address < 256; ++address)
        EXPECT_EQ(bus.probes(static_cast<uint8_t>(address)),
                  (address >= 2 && address % 2 == 0) ? 1 : 0)
            << address;
}

TEST(AddressScanTest, DevicesComeOutInAscendingOrder) {
    ScriptedBus bus;
    for (int address = 254; address >= 2; address -= 2)
        bus.setAnswers(static_cast<uint8_t>(address), {true});
    const std::vector<uint8_t> found = bus.scan();
    ASSERT_EQ(found.size(), 127u);
    EXPECT_TRUE(std::is_sorted(found.begin(), found.end()));
    EXPECT_EQ(found.front(), 2);
    EXPECT_EQ(found.back(), 254);
    EXPECT_EQ(bus.probes(0x2A), 2);
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
        bus.setAnswers(row.address, row.answers);
        EXPECT_EQ(bus.scan(), row.found);
        EXPECT_EQ(bus.probes(row.address), row.probes);
    }
}

} // namespace
