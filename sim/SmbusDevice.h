// An SMBus test target with every transaction type the host library offers.
// Command ranges:
//   0x00-0x7F  word registers (write word / read word; power-on value cmd * 0x0101)
//   0x80-0xBF  block registers (count byte first; power-on: 4 bytes cmd, cmd+1, cmd+2, cmd+3)
//   0xC0-0xCF  process call: a word written there is read back as value XOR 0xFFFF
//   0xD0-0xFF  not acknowledged
// A byte written after a complete word or block is its PEC, checked over the
// write address, command and data; a wrong PEC is not acknowledged and the
// write is dropped. Reading past the data yields the PEC over write address,
// command, read address and the data read. Writes take effect at the stop or
// at a repeated start to this device, so the members of a group command act
// together at its final stop.
#pragma once

#include "I2cDevice.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace podsim {

class SmbusDevice : public I2cDevice {
  public:
    explicit SmbusDevice(uint8_t address);

    bool addressed(bool read) override;
    bool write(uint8_t byte) override;
    uint8_t read() override;
    void stop() override;

    uint16_t word(uint8_t cmd) const;
    void setWord(uint8_t cmd, uint16_t v);
    std::vector<uint8_t> block(uint8_t cmd) const;
    void setBlock(uint8_t cmd, const std::vector<uint8_t>& data);
    uint16_t processResult(uint8_t cmd) const;
    uint32_t pecErrors() const { return pecErrors_; }

  private:
    size_t expectedData() const;
    void commit();

    uint8_t address_;
    std::array<uint16_t, 0x80> words_{};
    std::array<std::vector<uint8_t>, 0x40> blocks_;
    std::array<uint16_t, 0x10> results_{};

    uint8_t cmd_ = 0;
    bool haveCmd_ = false; // this write phase has sent its command byte
    std::vector<uint8_t> pending_;
    bool pendingBad_ = false;
    bool pecSeen_ = false;
    uint8_t writeCrc_ = 0;

    std::vector<uint8_t> response_;
    size_t readIndex_ = 0;
    uint8_t readCrc_ = 0;
    uint32_t pecErrors_ = 0;
};

} // namespace podsim
