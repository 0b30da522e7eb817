// A plain I2C target with 256 bytes behind an auto-incrementing pointer,
// like a small EEPROM; it gives bus scans something to find.
#pragma once

#include "I2cDevice.h"

#include <array>

namespace podsim {

class MemoryDevice : public I2cDevice {
  public:
    bool addressed(bool read) override;
    bool write(uint8_t byte) override;
    uint8_t read() override;

    uint8_t byte(uint8_t offset) const { return mem_[offset]; }
    void setByte(uint8_t offset, uint8_t v) { mem_[offset] = v; }

  private:
    std::array<uint8_t, 256> mem_{};
    uint8_t pointer_ = 0;
    bool expectPointer_ = false;
};

} // namespace podsim
