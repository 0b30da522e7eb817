// The RAR4120E LED driver as its I2C registers show it: 23 byte registers,
// a register pointer that auto-increments, read-only status registers.
#pragma once

#include "I2cDevice.h"

#include <array>

namespace podsim {

class Rar4120eModel : public I2cDevice {
  public:
    static constexpr uint8_t kRegisterCount = 0x17;

    Rar4120eModel();

    bool addressed(bool read) override;
    bool write(uint8_t byte) override;
    uint8_t read() override;

    // Direct access for tests: no read-only or status-bit rules apply.
    uint8_t reg(uint8_t r) const { return r < kRegisterCount ? regs_[r] : 0; }
    void setReg(uint8_t r, uint8_t v);

    // The value a bus write leaves in a register.
    static uint8_t afterWrite(uint8_t reg, uint8_t old, uint8_t written);

  private:
    std::array<uint8_t, kRegisterCount> regs_{};
    uint8_t pointer_ = 0;
    bool expectPointer_ = false;
};

} // namespace podsim
