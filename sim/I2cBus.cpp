#include "I2cBus.h"

namespace podsim {

void I2cBus::attach(uint8_t address, std::shared_ptr<I2cDevice> device) {
    devices_[static_cast<uint8_t>(address & 0xFE)] = std::move(device);
}

I2cDevice* I2cBus::device(uint8_t address) const {
    auto it = devices_.find(static_cast<uint8_t>(address & 0xFE));
    return it == devices_.end() ? nullptr : it->second.get();
}

void I2cBus::start() {
    expectAddress_ = true;
    current_ = nullptr;
    reading_ = false;
}

bool I2cBus::write(uint8_t byte) {
    if (expectAddress_) {
        expectAddress_ = false;
        current_ = device(byte);
        reading_ = (byte & 1) != 0;
        if (current_ == nullptr) return false;
        involved_.insert(current_);
        if (!current_->addressed(reading_)) current_ = nullptr;
        return current_ != nullptr;
    }
    // Data to nobody, or to a target that is sending: nobody acknowledges.
    if (current_ == nullptr || reading_) return false;
    bool ack = current_->write(byte);
    if (!ack) current_ = nullptr;
    return ack;
}

std::optional<uint8_t> I2cBus::read() {
    if (current_ == nullptr || !reading_) return std::nullopt;
    return current_->read();
}

void I2cBus::stop() {
    for (I2cDevice* d : involved_)
        d->stop();
    involved_.clear();
    current_ = nullptr;
    expectAddress_ = false;
    reading_ = false;
}

} // namespace podsim
