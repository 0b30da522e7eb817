// Line noise: what the host receives when the rates do not match, and the
// junk some boards print before their banner. The bytes never include 'K'
// (so never the banner prefix) nor a completion byte (0xB0-0xBF, 0xD2) nor
// the failure status 0xFA, so noise can never pass for a valid answer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace podsim {

class NoiseSource {
  public:
    uint8_t next();
    std::vector<uint8_t> bytes(size_t n);
    static bool allowed(uint8_t b);

  private:
    uint32_t state_ = 0x2545F491;
};

} // namespace podsim
