// A target on the simulated I2C bus, driven one bus event at a time.
#pragma once

#include <cstdint>

namespace podsim {

class I2cDevice {
  public:
    virtual ~I2cDevice() = default;
    // A start or repeated start carried this device's address; true = ACK.
    virtual bool addressed(bool read) = 0;
    // A byte written by the master; true = ACK.
    virtual bool write(uint8_t byte) = 0;
    // The master clocks in one byte.
    virtual uint8_t read() = 0;
    // A stop ended a transaction that addressed this device.
    virtual void stop() {}
};

} // namespace podsim
