// The interface board's firmware: parses the host's command byte stream
// (keeping partial commands between writes) and drives the I2C master, the
// SPI port, the pins and the P8 bus. Answers to failures:
//   0xE1            0xA1 b whose byte was not acknowledged
//   0xFF 0xE2       0xA2 a with no target addressed for reading
//   x 0xFA          a native I2C sub-command that met a NACK; x = bytes
//                   acknowledged in that frame before it (address included)
//   0xEE            an unknown command byte, or a sub-command not offered
// A 0x00 byte where a command should begin is skipped: hosts pad fixed-size
// frames with zeros.
#pragma once

#include "Config.h"
#include "I2cBus.h"

#include <array>
#include <cstdint>
#include <vector>

namespace podsim {

struct ScriptRun {
    uint8_t offset, repeat, flags;
};

class Firmware {
  public:
    static constexpr uint8_t kNack = 0xE1;
    static constexpr uint8_t kNoReadTarget = 0xE2;
    static constexpr uint8_t kNativeFailed = 0xFA;
    static constexpr uint8_t kUnknown = 0xEE;

    Firmware(const Config& cfg, I2cBus& bus);

    // What a reset leaves: no partial command, bus released, settings from
    // the config, pins low.
    void reset();
    void feed(uint8_t byte, std::vector<uint8_t>& out);

    bool offers(uint8_t sub) const;

    uint8_t spiControl() const { return spiControl_; }
    uint8_t spiSpeed() const { return spiSpeed_; }
    uint8_t i2cSpeed() const { return i2cSpeed_; }
    uint8_t spiCsOption() const { return csOption_; }
    const std::vector<uint8_t>& spiMosi() const { return mosi_; }
    uint8_t option(uint8_t o) const { return options_[o & 0x7F]; }
    bool pin(unsigned p) const { return pins_[p & 0x0F]; }
    void setPin(unsigned p, bool level) { pins_[p & 0x0F] = level; }
    uint8_t p8Config() const { return p8Config_; }
    uint8_t p8(uint8_t a) const { return p8Mem_[a]; }
    void setP8(uint8_t a, uint8_t v) { p8Mem_[a] = v; }
    const std::vector<ScriptRun>& scriptRuns() const { return scripts_; }
    void clearRecords();

    // SPI block size coded in a control byte (bits 3..5).
    static unsigned blockSize(uint8_t control);
    static bool validDescriptor(uint8_t d);

  private:
    size_t frameLength() const;
    void execute(std::vector<uint8_t>& out);
    void executeNative(std::vector<uint8_t>& out);
    void writeRead(bool stop, std::vector<uint8_t>& out);
    void blockWrite(std::vector<uint8_t>& out);
    void blockRead(bool withPec, std::vector<uint8_t>& out);
    void spiNative(size_t countAt, std::vector<uint8_t>& out);
    uint8_t spiExchange(uint8_t mosi);
    uint8_t setSpeed(uint8_t& speed, const std::vector<uint8_t>& refused, uint8_t d);

    const Config& cfg_;
    I2cBus& bus_;
    std::vector<uint8_t> cmd_;
    unsigned spiBlock_ = 1; // block size in force when the current 0xAF began

    uint8_t spiControl_ = 0, spiSpeed_ = 0, i2cSpeed_ = 0, csOption_ = 0;
    std::array<uint8_t, 0x80> options_{};
    std::array<bool, 16> pins_{};
    uint8_t p8Config_ = 0;
    std::array<uint8_t, 256> p8Mem_{};
    std::vector<uint8_t> mosi_;
    std::vector<ScriptRun> scripts_;
};

} // namespace podsim
