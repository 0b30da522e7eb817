// The RAR4120E register map as data: every register's address, name, access,
// fields with bit position and width, the item texts of encoded fields and
// the demo value. Uses no Qt, so that the pages and command-line tools can
// share it.
#ifndef REGISTERMAP_H
#define REGISTERMAP_H

#include <cstdint>
#include <string>
#include <vector>

namespace rar4120e {

enum class Access {
    ReadWrite,
    ReadOnly,
    // Writable register whose status fields belong to the chip.
    ReadWriteStatus,
};

enum class FieldKind {
    Flag,   // one bit the user sets or clears
    Status, // one bit only the chip sets
    Code,   // a code chosen from the field's items
    Value,  // a number
};

struct Field {
    const char* name;
    uint8_t lsb;
    uint8_t width;
    FieldKind kind;
    // Item texts of a Code field, indexed by code; codes past the end have
    // no item.
    std::vector<const char*> items;

    uint8_t mask() const { return static_cast<uint8_t>(((1u << width) - 1u) << lsb); }
    unsigned extract(uint8_t regValue) const { return (regValue & mask()) >> lsb; }
    // regValue with this field replaced by code; every other bit kept.
    uint8_t insert(uint8_t regValue, unsigned code) const {
        return static_cast<uint8_t>((regValue & ~mask()) | ((code << lsb) & mask()));
    }
    // The item text of the field's code in regValue, or null when the code
    // has no item.
    const char* itemText(uint8_t regValue) const;
};

struct Register {
    uint8_t address;
    const char* name;
    // The register page that shows it: 1 or 2.
    int page;
    Access access;
    uint8_t demoValue;
    // Highest bit first.
    std::vector<Field> fields;

    const Field* field(const std::string& fieldName) const;
    bool writable() const { return access != Access::ReadOnly; }
    // The bits a write may carry: every bit except the chip's status bits.
    uint8_t writableMask() const;
};

constexpr uint8_t kFirstRegister = 0x00;
constexpr uint8_t kLastRegister = 0x16;

// Every register, in ascending address order.
const std::vector<Register>& registers();
// The register at address, or null outside 0x00 to 0x16.
const Register* findRegister(uint8_t address);
// The register holding a field of this name (for example "FPWM"), or null.
const Register* registerOfField(const std::string& fieldName, const Field** field = nullptr);

// One line describing a register value field by field, for example
// "0x0E SETTING = 0x80: SG_RETRY=1 FPWM=0 (153Hz) SS_OFF=0 SSL=0 SLDET=0 (Disabled)".
std::string decode(uint8_t address, uint8_t value);

// The LED on-time counts TON1 to TON4: 18 bits of 50 ns, spread over a high
// register (bits 17:10), a middle register (bits 9:2) and a bit pair of 0x0D.
constexpr int kTonChannels = 4;
constexpr uint8_t kTonLowRegister = 0x0D;
constexpr uint32_t kTonMaxCount = 0x3FFFF;
constexpr double kTonUnitSeconds = 5e-8;

struct TonChannel {
    uint8_t highRegister;
    uint8_t middleRegister;
    uint8_t lowShift; // position of the channel's bit pair in 0x0D
    // The bits of 0x0D that belong to the other channels.
    uint8_t keptLowMask() const { return static_cast<uint8_t>(~(3u << lowShift)); }
};

// channel 0 to 3 for TON1 to TON4.
const TonChannel& tonChannel(int channel);
uint32_t tonCount(int channel, uint8_t high, uint8_t middle, uint8_t low);
uint8_t tonHighByte(uint32_t count);
uint8_t tonMiddleByte(uint32_t count);
// low with the channel's bit pair replaced by count bits 1:0.
uint8_t tonLowByte(int channel, uint32_t count, uint8_t low);
// The channel that uses register address as its high or middle register,
// or -1 (0x0D belongs to all four).
int tonChannelOfRegister(uint8_t address);

// The PWM period of an FPWM code (0x0E bits 6:4) in 50 ns counts, rounded up.
uint32_t pwmPeriodCount(unsigned fpwmCode);

} // namespace rar4120e

#endif // REGISTERMAP_H
