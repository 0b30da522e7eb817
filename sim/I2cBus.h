// The board's I2C master and the targets on its bus, by 8-bit address.
#pragma once

#include "I2cDevice.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>

namespace podsim {

class I2cBus {
  public:
    void attach(uint8_t address, std::shared_ptr<I2cDevice> device);
    I2cDevice* device(uint8_t address) const;

    // Start or repeated start; the next write is an address byte.
    void start();
    // A byte on the bus: the address after a start, else data. true = ACK.
    bool write(uint8_t byte);
    // nullopt when no target is addressed for reading.
    std::optional<uint8_t> read();
    void stop();

  private:
    std::map<uint8_t, std::shared_ptr<I2cDevice>> devices_;
    std::set<I2cDevice*> involved_; // targets addressed since the last stop
    I2cDevice* current_ = nullptr;
    bool expectAddress_ = false;
    bool reading_ = false;
};

} // namespace podsim
