#include "SmbusDevice.h"

#include "Pec.h"

namespace podsim {
namespace {

bool isWord(uint8_t cmd) {
    return cmd < 0x80;
}
bool isBlock(uint8_t cmd) {
    return cmd >= 0x80 && cmd < 0xC0;
}
bool isProcess(uint8_t cmd) {
    return cmd >= 0xC0 && cmd < 0xD0;
}

} // namespace

SmbusDevice::SmbusDevice(uint8_t address) : address_(address) {
    for (size_t c = 0; c < words_.size(); ++c)
        words_[c] = static_cast<uint16_t>(c * 0x0101);
    for (size_t i = 0; i < blocks_.size(); ++i) {
        uint8_t c = static_cast<uint8_t>(0x80 + i);
        blocks_[i] = {c, static_cast<uint8_t>(c + 1), static_cast<uint8_t>(c + 2),
                      static_cast<uint8_t>(c + 3)};
    }
}

size_t SmbusDevice::expectedData() const {
    if (!isBlock(cmd_)) return 2;
    if (pending_.empty()) return 1;
    return 1 + (pending_[0] == 0 ? 256 : pending_[0]);
}

void SmbusDevice::commit() {
    if (haveCmd_ && !pendingBad_ && !pending_.empty()) {
        if (isWord(cmd_)) {
            uint16_t w = words_[cmd_];
            w = static_cast<uint16_t>((w & 0xFF00) | pending_[0]);
            if (pending_.size() > 1) w = static_cast<uint16_t>((w & 0x00FF) | pending_[1] << 8);
            words_[cmd_] = w;
        } else if (isProcess(cmd_) && pending_.size() == 2) {
            results_[cmd_ - 0xC0] =
                static_cast<uint16_t>((pending_[0] | pending_[1] << 8) ^ 0xFFFF);
        } else if (isBlock(cmd_) && pending_.size() == expectedData()) {
            blocks_[cmd_ - 0x80].assign(pending_.begin() + 1, pending_.end());
        }
    }
    pending_.clear();
    pendingBad_ = false;
    pecSeen_ = false;
}

bool SmbusDevice::addressed(bool read) {
    commit();
    if (!read) {
        haveCmd_ = false;
        writeCrc_ = pecUpdate(0, address_);
        return true;
    }
    // The read's PEC covers the command phase only when this transaction had one.
    readCrc_ = haveCmd_ ? pec(&address_, 1) : 0;
    if (haveCmd_) readCrc_ = pecUpdate(readCrc_, cmd_);
    readCrc_ = pecUpdate(readCrc_, static_cast<uint8_t>(address_ | 1));
    readIndex_ = 0;
    if (isWord(cmd_)) {
        response_ = {static_cast<uint8_t>(words_[cmd_]), static_cast<uint8_t>(words_[cmd_] >> 8)};
    } else if (isProcess(cmd_)) {
        uint16_t r = results_[cmd_ - 0xC0];
        response_ = {static_cast<uint8_t>(r), static_cast<uint8_t>(r >> 8)};
    } else if (isBlock(cmd_)) {
        const auto& b = blocks_[cmd_ - 0x80];
        response_.assign(1, static_cast<uint8_t>(b.size()));
        response_.insert(response_.end(), b.begin(), b.end());
    } else {
        response_.clear();
    }
    return true;
}

bool SmbusDevice::write(uint8_t byte) {
    if (!haveCmd_) {
        if (byte >= 0xD0) return false;
        cmd_ = byte;
        haveCmd_ = true;
        writeCrc_ = pecUpdate(writeCrc_, byte);
        return true;
    }
    if (pendingBad_) return false;
    if (pending_.size() < expectedData()) {
        pending_.push_back(byte);
        writeCrc_ = pecUpdate(writeCrc_, byte);
        return true;
    }
    if (!pecSeen_ && byte == writeCrc_) {
        pecSeen_ = true;
        return true;
    }
    if (!pecSeen_) ++pecErrors_;
    pendingBad_ = true;
    return false;
}

uint8_t SmbusDevice::read() {
    uint8_t v = 0xFF;
    if (readIndex_ < response_.size()) {
        v = response_[readIndex_];
        readCrc_ = pecUpdate(readCrc_, v);
    } else if (readIndex_ == response_.size()) {
        v = readCrc_;
    }
    ++readIndex_;
    return v;
}

void SmbusDevice::stop() {
    commit();
    haveCmd_ = false;
}

uint16_t SmbusDevice::word(uint8_t cmd) const {
    return isWord(cmd) ? words_[cmd] : 0;
}

void SmbusDevice::setWord(uint8_t cmd, uint16_t v) {
    if (isWord(cmd)) words_[cmd] = v;
}

std::vector<uint8_t> SmbusDevice::block(uint8_t cmd) const {
    return isBlock(cmd) ? blocks_[cmd - 0x80] : std::vector<uint8_t>();
}

void SmbusDevice::setBlock(uint8_t cmd, const std::vector<uint8_t>& data) {
    if (isBlock(cmd) && !data.empty() && data.size() <= 256) blocks_[cmd - 0x80] = data;
}

uint16_t SmbusDevice::processResult(uint8_t cmd) const {
    return isProcess(cmd) ? results_[cmd - 0xC0] : 0;
}

} // namespace podsim
