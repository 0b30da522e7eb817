#include "Rar4120eModel.h"

namespace podsim {
namespace {

// Power-on values; they match what the control program shows in demo mode.
constexpr std::array<uint8_t, Rar4120eModel::kRegisterCount> kPowerOn = {
    0x12, 0x00, 0x01, 0x08, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
    0xFF, 0xFF, 0x10, 0x10, 0x00, 0x00, 0x00, 0x00, 0x02, 0x04, 0x3F,
};

bool readOnly(uint8_t reg) {
    return reg == 0x00 || reg == 0x01 || reg == 0x11 || reg == 0x12 || reg == 0x13 || reg == 0x15;
}

} // namespace

Rar4120eModel::Rar4120eModel() : regs_(kPowerOn) {}

uint8_t Rar4120eModel::afterWrite(uint8_t reg, uint8_t old, uint8_t written) {
    if (readOnly(reg)) return old;
    // IMODE bits 7:4 are the LoDIM status flags, owned by the chip.
    if (reg == 0x03) return static_cast<uint8_t>((old & 0xF0) | (written & 0x0F));
    return written;
}

bool Rar4120eModel::addressed(bool read) {
    // A write transaction begins with the register number.
    expectPointer_ = !read;
    return true;
}

bool Rar4120eModel::write(uint8_t byte) {
    if (expectPointer_) {
        pointer_ = byte;
        expectPointer_ = false;
        return true;
    }
    if (pointer_ >= kRegisterCount) return false;
    regs_[pointer_] = afterWrite(pointer_, regs_[pointer_], byte);
    ++pointer_;
    return true;
}

uint8_t Rar4120eModel::read() {
    uint8_t v = reg(pointer_);
    ++pointer_;
    return v;
}

void Rar4120eModel::setReg(uint8_t r, uint8_t v) {
    if (r < kRegisterCount) regs_[r] = v;
}

} // namespace podsim
