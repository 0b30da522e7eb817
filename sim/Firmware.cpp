#include "Firmware.h"

#include <algorithm>

namespace podsim {
namespace {

size_t count256(uint8_t n) {
    return n == 0 ? 256 : n;
}

bool twoByteCommand(uint8_t c) {
    switch (c) {
    case 0xA1:
    case 0xA2:
    case 0xA3:
    case 0xA6:
    case 0xAA:
    case 0xAC:
    case 0xAD:
    case 0xAE:
    case 0xC2:
        return true;
    default:
        return c >= 0xE0;
    }
}

} // namespace

Firmware::Firmware(const Config& cfg, I2cBus& bus) : cfg_(cfg), bus_(bus) {
    reset();
}

void Firmware::reset() {
    cmd_.clear();
    bus_.stop();
    spiControl_ = cfg_.spiControl;
    spiSpeed_ = cfg_.spiSpeed;
    i2cSpeed_ = cfg_.i2cSpeed;
    csOption_ = 0;
    options_.fill(0);
    pins_.fill(false);
    p8Config_ = 0;
}

void Firmware::clearRecords() {
    mosi_.clear();
    scripts_.clear();
}

unsigned Firmware::blockSize(uint8_t control) {
    switch (control & 0x38) {
    case 0x18:
        return 2;
    case 0x28:
        return 3;
    case 0x38:
        return 4;
    default:
        return 1;
    }
}

bool Firmware::validDescriptor(uint8_t d) {
    return d == 0x7F || (d < 0x80 && (d & 0x0F) <= 9);
}

bool Firmware::offers(uint8_t sub) const {
    if (sub <= 0x02) return true;
    if (cfg_.oldFirmware || sub > 0x0F || !(cfg_.nativeBitmask & (1u << sub))) return false;
    // 0x0B, 0x0D to 0x0F are reserved for commands this board does not have.
    return sub <= 0x0A || sub == 0x0C;
}

size_t Firmware::frameLength() const {
    uint8_t c = cmd_[0];
    if (c == 0xA0) {
        if (cmd_.size() < 2 || !offers(cmd_[1])) return 2;
        switch (cmd_[1]) {
        case 0x03:
            return 3;
        case 0x04:
            return cmd_.size() < 3 || (cmd_[2] & 0x80) ? 3 : 4;
        case 0x05:
        case 0x09:
            return cmd_.size() < 4 ? 4 : 5 + cmd_[2];
        case 0x06:
            return 261; // fixed frame, data zero-filled to 256 bytes
        case 0x07:
        case 0x08:
            return 4;
        case 0x0A:
            return cmd_.size() < 3 ? 3 : 3 + count256(cmd_[2]);
        case 0x0C:
            return cmd_.size() < 4 ? 4 : 4 + count256(cmd_[3]);
        default:
            return 2;
        }
    }
    if (c == 0xA9) return 4;
    if (c == 0xAB) return 3;
    if (c == 0xAF) return 1 + spiBlock_;
    return twoByteCommand(c) ? 2 : 1;
}

void Firmware::feed(uint8_t byte, std::vector<uint8_t>& out) {
    if (cmd_.empty()) {
        if (byte == 0x00) return;
        if (byte == 0xAF) spiBlock_ = blockSize(spiControl_);
    }
    cmd_.push_back(byte);
    if (cmd_.size() < frameLength()) return;
    execute(out);
    cmd_.clear();
}

uint8_t Firmware::spiExchange(uint8_t mosi) {
    mosi_.push_back(mosi);
    return static_cast<uint8_t>(mosi ^ cfg_.spiXor);
}

uint8_t Firmware::setSpeed(uint8_t& speed, const std::vector<uint8_t>& refused, uint8_t d) {
    if (validDescriptor(d) && std::find(refused.begin(), refused.end(), d) == refused.end()) {
        speed = d;
    }
    return speed;
}

void Firmware::execute(std::vector<uint8_t>& out) {
    const uint8_t c = cmd_[0];
    if (c == 0xA0) {
        executeNative(out);
        return;
    }
    if (c >= 0xF0) {
        pins_[c & 0x0F] = cmd_[1] != 0;
        out.push_back(pins_[c & 0x0F] ? 1 : 0);
        return;
    }
    if (c >= 0xE0) {
        out.push_back(pins_[c & 0x0F] ? 1 : 0);
        return;
    }
    switch (c) {
    case 0xA1:
        out.push_back(bus_.write(cmd_[1]) ? 0xB1 : kNack);
        break;
    case 0xA2: {
        auto v = bus_.read();
        out.push_back(v ? *v : 0xFF);
        out.push_back(v ? 0xB2 : kNoReadTarget);
        break;
    }
    case 0xA3:
        bus_.stop();
        out.push_back(0xB3);
        break;
    case 0xA6:
        out.push_back(setSpeed(i2cSpeed_, cfg_.i2cRefused, cmd_[1]));
        out.push_back(0xB6);
        break;
    case 0xA9:
        scripts_.push_back({cmd_[1], cmd_[2], cmd_[3]});
        out.insert(out.end(), {cmd_[1], cmd_[2], 0xB9});
        break;
    case 0xAA:
        p8Config_ = cmd_[1];
        out.push_back(0xBA);
        break;
    case 0xAB:
        p8Mem_[cmd_[1]] = cmd_[2];
        out.push_back(0xBB);
        break;
    case 0xAC:
        out.push_back(p8Mem_[cmd_[1]]);
        break;
    case 0xAD:
        out.push_back(setSpeed(spiSpeed_, cfg_.spiRefused, cmd_[1]));
        out.push_back(0xBD);
        break;
    case 0xAE:
        if (cmd_[1] != 0x80) spiControl_ = cmd_[1];
        out.push_back(spiControl_);
        out.push_back(0xBE);
        break;
    case 0xAF:
        for (size_t i = 1; i < cmd_.size(); ++i)
            out.push_back(spiExchange(cmd_[i]));
        out.push_back(0xBF);
        break;
    case 0xC2:
        if (cmd_[1] == 0x01) {
            out.insert(out.end(), {cfg_.fwMajor, cfg_.fwMinor, cfg_.fwBuild, 0xD2});
        } else {
            out.push_back(kUnknown);
        }
        break;
    default:
        out.push_back(kUnknown);
    }
}

void Firmware::executeNative(std::vector<uint8_t>& out) {
    const uint8_t sub = cmd_[1];
    if (!offers(sub)) {
        out.push_back(kUnknown);
        return;
    }
    switch (sub) {
    case 0x00:
    case 0x01:
        bus_.start();
        out.push_back(0xB0);
        break;
    case 0x02:
        // Firmware from before the query takes it for a plain start.
        if (cfg_.oldFirmware) {
            bus_.start();
        } else {
            out.push_back(static_cast<uint8_t>(cfg_.nativeBitmask));
            out.push_back(static_cast<uint8_t>(cfg_.nativeBitmask >> 8));
        }
        out.push_back(0xB0);
        break;
    case 0x03: {
        bus_.start();
        bool ack = bus_.write(cmd_[2]);
        bus_.stop();
        if (ack) {
            out.push_back(0xB0);
        } else {
            out.insert(out.end(), {0x00, kNativeFailed});
        }
        break;
    }
    case 0x04:
        if (cmd_[2] & 0x80) {
            out.push_back(options_[cmd_[2] & 0x7F]);
        } else {
            options_[cmd_[2]] = cmd_[3];
            out.push_back(cmd_[3]);
        }
        out.push_back(0xB0);
        break;
    case 0x05:
        writeRead(true, out);
        break;
    case 0x09:
        writeRead(false, out);
        break;
    case 0x06:
        blockWrite(out);
        break;
    case 0x07:
        blockRead(false, out);
        break;
    case 0x08:
        blockRead(true, out);
        break;
    case 0x0A:
        spiNative(2, out);
        break;
    case 0x0C:
        csOption_ = cmd_[2];
        spiNative(3, out);
        break;
    }
}

void Firmware::writeRead(bool stop, std::vector<uint8_t>& out) {
    const uint8_t nW = cmd_[2], nR = cmd_[3];
    const uint8_t addrW = static_cast<uint8_t>(cmd_[4] & 0xFE);
    uint8_t acked = 0;
    std::vector<uint8_t> data;
    bus_.start();
    // With nothing to write the transaction opens straight in read direction.
    bool ok = bus_.write(nW == 0 && nR > 0 ? addrW | 1 : addrW);
    if (ok) ++acked;
    for (size_t i = 0; ok && i < nW; ++i) {
        ok = bus_.write(cmd_[5 + i]);
        if (ok) ++acked;
    }
    if (ok && nW > 0 && nR > 0) {
        bus_.start();
        ok = bus_.write(addrW | 1);
        if (ok) ++acked;
    }
    for (size_t i = 0; ok && i < nR; ++i)
        data.push_back(bus_.read().value_or(0xFF));
    if (!ok || stop) bus_.stop();
    if (ok) {
        out.insert(out.end(), data.begin(), data.end());
        out.push_back(0xB0);
    } else {
        out.insert(out.end(), {acked, kNativeFailed});
    }
}

void Firmware::blockWrite(std::vector<uint8_t>& out) {
    const size_t n = count256(cmd_[4]);
    size_t acked = 0;
    bus_.start();
    bool ok = bus_.write(cmd_[2] & 0xFE);
    if (ok) ++acked;
    for (size_t i = 3; ok && i < 5 + n; ++i) {
        ok = bus_.write(cmd_[i]);
        if (ok) ++acked;
    }
    bus_.stop();
    if (ok) {
        out.push_back(0xB0);
    } else {
        out.insert(out.end(), {static_cast<uint8_t>(std::min<size_t>(acked, 0xFF)), kNativeFailed});
    }
}

void Firmware::blockRead(bool withPec, std::vector<uint8_t>& out) {
    const uint8_t addrW = static_cast<uint8_t>(cmd_[2] & 0xFE);
    uint8_t acked = 0;
    bus_.start();
    bool ok = bus_.write(addrW);
    if (ok) {
        ++acked;
        ok = bus_.write(cmd_[3]);
    }
    if (ok) {
        ++acked;
        bus_.start();
        ok = bus_.write(addrW | 1);
    }
    if (!ok) {
        bus_.stop();
        out.insert(out.end(), {acked, kNativeFailed});
        return;
    }
    const uint8_t count = bus_.read().value_or(0xFF);
    std::vector<uint8_t> reply{count};
    for (size_t i = 0; i < count256(count); ++i)
        reply.push_back(bus_.read().value_or(0xFF));
    if (withPec) reply.push_back(bus_.read().value_or(0xFF));
    bus_.stop();
    out.insert(out.end(), reply.begin(), reply.end());
    out.push_back(0xB0);
}

void Firmware::spiNative(size_t countAt, std::vector<uint8_t>& out) {
    for (size_t i = countAt + 1; i < cmd_.size(); ++i)
        out.push_back(spiExchange(cmd_[i]));
    out.push_back(0xB0);
}

} // namespace podsim
