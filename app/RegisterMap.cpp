#include "RegisterMap.h"

#include <cmath>
#include <cstdio>

namespace rar4120e {
namespace {

Field flag(const char* name, uint8_t bit) {
    return {name, bit, 1, FieldKind::Flag, {}};
}
Field status(const char* name, uint8_t bit) {
    return {name, bit, 1, FieldKind::Status, {}};
}
Field value(const char* name, uint8_t lsb, uint8_t width) {
    return {name, lsb, width, FieldKind::Value, {}};
}
Field code(const char* name, uint8_t lsb, uint8_t width, std::vector<const char*> items) {
    return {name, lsb, width, FieldKind::Code, std::move(items)};
}

// The FPWM item frequencies in Hz, by code.
constexpr double kFpwmHz[] = {153, 203, 305, 610, 980, 1220, 1401, 1634};

std::vector<Register> buildMap() {
    using A = Access;
    std::vector<Register> map = {
        {0x00, "DEV_ID", 1, A::ReadOnly, 0x12, {value("DEV_ID", 0, 8)}},
        {0x01, "REV_ID", 1, A::ReadOnly, 0x00, {value("REV_ID", 0, 4)}},
        {0x02,
         "ISET",
         1,
         A::ReadWrite,
         0x01,
         {flag("BSTFORCE", 3), flag("FAST_SS", 2), flag("ENA", 1), flag("PSEN", 0)}},
        {0x03,
         "IMODE",
         1,
         A::ReadWriteStatus,
         0x08,
         {status("LoDIM4", 7), status("LoDIM3", 6), status("LoDIM2", 5), status("LoDIM1", 4),
          flag("DIM_EXT", 3), flag("HDIM", 2),
          code("HDIM_THR", 0, 2, {"6.25%", "12.5%", "25%", "50%"})}},
        {0x04, "ADIM", 1, A::ReadWrite, 0xFF, {value("ADIM", 0, 8)}},
    };
    static const char* const kTonNames[kTonChannels] = {"TON1", "TON2", "TON3", "TON4"};
    for (int ch = 0; ch < kTonChannels; ++ch) {
        map.push_back({static_cast<uint8_t>(0x05 + 2 * ch),
                       kTonNames[ch],
                       2,
                       A::ReadWrite,
                       0xFF,
                       {value("HIGH", 0, 8)}});
        map.push_back({static_cast<uint8_t>(0x06 + 2 * ch),
                       kTonNames[ch],
                       2,
                       A::ReadWrite,
                       0xFF,
                       {value("MIDDLE", 0, 8)}});
    }
    const std::vector<Register> rest = {
        {0x0D,
         "TON_LOW",
         2,
         A::ReadWrite,
         0xFF,
         {value("TON4_LOW", 6, 2), value("TON3_LOW", 4, 2), value("TON2_LOW", 2, 2),
          value("TON1_LOW", 0, 2)}},
        {0x0E,
         "SETTING",
         1,
         A::ReadWrite,
         0x10,
         {flag("SG_RETRY", 7),
          code("FPWM", 4, 3,
               {"153Hz", "203Hz", "305Hz", "610Hz", "980Hz", "1220Hz", "1401Hz", "1634Hz"}),
          flag("SS_OFF", 3), flag("SSL", 2), code("SLDET", 0, 2, {"Disabled", "3V", "6V", "8V"})}},
        {0x0F,
         "DISABLE",
         1,
         A::ReadWrite,
         0x10,
         {flag("CP_DIS", 5), flag("DIS_S2G", 4), flag("DIS4", 3), flag("DIS3", 2), flag("DIS2", 1),
          flag("DIS1", 0)}},
        {0x10,
         "FADING",
         1,
         A::ReadWrite,
         0x00,
         {flag("FADE_GAIN", 4), flag("FADE_IN_OUT", 3),
          code("TDIM", 0, 3, {"0", "1", "2", "3", "4", "5"})}},
        {0x11,
         "OPEN",
         1,
         A::ReadOnly,
         0x00,
         {status("OUT4O", 3), status("OUT3O", 2), status("OUT2O", 1), status("OUT1O", 0)}},
        {0x12,
         "SHORTGND",
         1,
         A::ReadOnly,
         0x00,
         {status("OUT4SG", 3), status("OUT3SG", 2), status("OUT2SG", 1), status("OUT1SG", 0)}},
        {0x13,
         "SHORTED LED",
         1,
         A::ReadOnly,
         0x00,
         {status("OUT4SL", 3), status("OUT3SL", 2), status("OUT2SL", 1), status("OUT1SL", 0)}},
        {0x14,
         "MASK",
         1,
         A::ReadWrite,
         0x02,
         {flag("BSTUVMASK", 4), flag("OMASK", 3), flag("SGMASK", 2), flag("OTWMASK", 1),
          flag("SLMASK", 0)}},
        {0x15,
         "DIAG",
         1,
         A::ReadOnly,
         0x04,
         {status("RTOOR", 7), status("ISETOOR", 5), status("BSTUV", 4), status("BSTOV", 3),
          status("HW_RST", 2), status("OTW", 1), status("OT", 0)}},
        {0x16, "ICAL", 1, A::ReadWrite, 0x3F, {value("ICAL", 0, 6)}},
    };
    map.insert(map.end(), rest.begin(), rest.end());
    return map;
}

const TonChannel kTonChannelTable[kTonChannels] = {
    {0x05, 0x06, 0}, {0x07, 0x08, 2}, {0x09, 0x0A, 4}, {0x0B, 0x0C, 6}};

} // namespace

const char* Field::itemText(uint8_t regValue) const {
    const unsigned c = extract(regValue);
    return c < items.size() ? items[c] : nullptr;
}

const Field* Register::field(const std::string& fieldName) const {
    for (const Field& f : fields)
        if (fieldName == f.name) return &f;
    return nullptr;
}

uint8_t Register::writableMask() const {
    if (access == Access::ReadOnly) return 0;
    uint8_t statusBits = 0;
    for (const Field& f : fields)
        if (f.kind == FieldKind::Status) statusBits |= f.mask();
    return static_cast<uint8_t>(~statusBits);
}

const std::vector<Register>& registers() {
    static const std::vector<Register> map = buildMap();
    return map;
}

const Register* findRegister(uint8_t address) {
    return address <= kLastRegister ? &registers()[address] : nullptr;
}

const Register* registerOfField(const std::string& fieldName, const Field** field) {
    for (const Register& r : registers()) {
        if (const Field* f = r.field(fieldName)) {
            if (field) *field = f;
            return &r;
        }
    }
    return nullptr;
}

std::string decode(uint8_t address, uint8_t regValue) {
    char buf[64];
    const Register* r = findRegister(address);
    if (!r) {
        std::snprintf(buf, sizeof buf, "0x%02X = 0x%02X", address, regValue);
        return buf;
    }
    std::snprintf(buf, sizeof buf, "0x%02X %s = 0x%02X:", address, r->name, regValue);
    std::string out = buf;
    for (const Field& f : r->fields) {
        std::snprintf(buf, sizeof buf, " %s=%u", f.name, f.extract(regValue));
        out += buf;
        if (f.kind == FieldKind::Code) {
            const char* item = f.itemText(regValue);
            out += " (";
            out += item ? item : "no item";
            out += ')';
        }
    }
    return out;
}

const TonChannel& tonChannel(int channel) {
    return kTonChannelTable[channel];
}

uint32_t tonCount(int channel, uint8_t high, uint8_t middle, uint8_t low) {
    return (uint32_t{high} << 10) | (uint32_t{middle} << 2) |
           ((low >> tonChannel(channel).lowShift) & 3u);
}

uint8_t tonHighByte(uint32_t count) {
    return static_cast<uint8_t>((count >> 10) & 0xFF);
}
uint8_t tonMiddleByte(uint32_t count) {
    return static_cast<uint8_t>((count >> 2) & 0xFF);
}

uint8_t tonLowByte(int channel, uint32_t count, uint8_t low) {
    const TonChannel& ch = tonChannel(channel);
    return static_cast<uint8_t>((low & ch.keptLowMask()) | ((count & 3u) << ch.lowShift));
}

int tonChannelOfRegister(uint8_t address) {
    for (int ch = 0; ch < kTonChannels; ++ch)
        if (address == kTonChannelTable[ch].highRegister ||
            address == kTonChannelTable[ch].middleRegister)
            return ch;
    return -1;
}

uint32_t pwmPeriodCount(unsigned fpwmCode) {
    const double period = 1.0 / kFpwmHz[fpwmCode & 7];
    return static_cast<uint32_t>(std::ceil(period / kTonUnitSeconds));
}

} // namespace rar4120e
