#include "Config.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

namespace podsim {
namespace {

std::string trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b])))
        ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1])))
        --e;
    return s.substr(b, e - b);
}

[[noreturn]] void bad(const std::string& key, const std::string& value, const char* want) {
    throw ConfigError("bad value for '" + key + "': '" + value + "' (expected " + want + ")");
}

uint64_t parseNumber(const std::string& key, const std::string& value, uint64_t max) {
    if (value.empty() || value[0] == '-' || value[0] == '+') bad(key, value, "a number");
    errno = 0;
    char* end = nullptr;
    unsigned long long v = std::strtoull(value.c_str(), &end, 0);
    if (errno != 0 || end == value.c_str() || *end != '\0' || v > max) {
        bad(key, value, max == 0xFF ? "a byte, 0 to 0xFF" : "a number in range");
    }
    return v;
}

uint8_t parseByte(const std::string& key, const std::string& v) {
    return static_cast<uint8_t>(parseNumber(key, v, 0xFF));
}

uint32_t parseU32(const std::string& key, const std::string& v) {
    return static_cast<uint32_t>(parseNumber(key, v, 0xFFFFFFFFu));
}

bool parseBool(const std::string& key, const std::string& v) {
    if (v == "true" || v == "yes" || v == "on" || v == "1") return true;
    if (v == "false" || v == "no" || v == "off" || v == "0") return false;
    bad(key, v, "true or false");
}

std::vector<std::string> splitList(const std::string& v) {
    std::vector<std::string> items;
    std::string cur;
    for (char c : v) {
        if (c == ',' || std::isspace(static_cast<unsigned char>(c))) {
            if (!cur.empty()) items.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty()) items.push_back(cur);
    return items;
}

bool isNone(const std::string& v) {
    return v == "none" || v == "off" || v.empty();
}

std::vector<uint8_t> parseByteList(const std::string& key, const std::string& v) {
    std::vector<uint8_t> out;
    if (isNone(v)) return out;
    for (const auto& item : splitList(v))
        out.push_back(parseByte(key, item));
    return out;
}

std::vector<uint32_t> parseU32List(const std::string& key, const std::string& v) {
    std::vector<uint32_t> out;
    if (isNone(v)) return out;
    for (const auto& item : splitList(v))
        out.push_back(parseU32(key, item));
    return out;
}

// Addresses are 8-bit bus addresses with the read/write bit clear.
std::vector<uint8_t> parseAddressList(const std::string& key, const std::string& v) {
    auto list = parseByteList(key, v);
    for (uint8_t a : list) {
        if (a & 1) bad(key, v, "even 8-bit addresses");
    }
    return list;
}

// Texts may be double-quoted to keep outer spaces; \r \n \t \\ \" \0 and
// \xHH stand for the bytes they name.
std::string unescape(const std::string& key, std::string v) {
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
    std::string out;
    for (size_t i = 0; i < v.size(); ++i) {
        if (v[i] != '\\' || i + 1 == v.size()) {
            out += v[i];
            continue;
        }
        char c = v[++i];
        switch (c) {
        case 'r':
            out += '\r';
            break;
        case 'n':
            out += '\n';
            break;
        case 't':
            out += '\t';
            break;
        case '0':
            out += '\0';
            break;
        case '\\':
            out += '\\';
            break;
        case '"':
            out += '"';
            break;
        case 'x': {
            std::string hex = i + 2 < v.size() ? v.substr(i + 1, 2) : std::string();
            if (hex.size() != 2 || !std::isxdigit(static_cast<unsigned char>(hex[0])) ||
                !std::isxdigit(static_cast<unsigned char>(hex[1]))) {
                bad(key, v, "two hex digits after \\x");
            }
            out += static_cast<char>(std::strtoul(hex.c_str(), nullptr, 16));
            i += 2;
            break;
        }
        default:
            bad(key, v, "a known escape (\\r \\n \\t \\0 \\\\ \\\" \\xHH)");
        }
    }
    return out;
}

FaultKind parseFaultKind(const std::string& key, const std::string& v) {
    static const std::map<std::string, FaultKind> names = {
        {"none", FaultKind::None},
        {"no_reply", FaultKind::NoReply},
        {"cut", FaultKind::Cut},
        {"stall", FaultKind::Stall},
        {"wrong_completion", FaultKind::WrongCompletion},
        {"noise", FaultKind::Noise},
    };
    auto it = names.find(v);
    if (it == names.end()) bad(key, v, "none, no_reply, cut, stall, wrong_completion or noise");
    return it->second;
}

using Setter = std::function<void(Config&, const std::string&, const std::string&)>;

struct KeyInfo {
    const char* name;
    const char* help;
    Setter set;
};

const std::vector<KeyInfo>& table() {
    static const std::vector<KeyInfo> keys = {
        {"baud", "host line rate the firmware answers at (0: 115200 serial, 921600 USB)",
         [](Config& c, const std::string& k, const std::string& v) { c.baud = parseU32(k, v); }},
        {"banner", "banner text after a reset; escapes \\r \\n \\t \\0 \\xHH",
         [](Config& c, const std::string& k, const std::string& v) { c.banner = unescape(k, v); }},
        {"banner_nul", "send one NUL before the banner (true/false)",
         [](Config& c, const std::string& k, const std::string& v) {
             c.bannerNul = parseBool(k, v);
         }},
        {"banner_noise", "number of noise bytes sent before the banner",
         [](Config& c, const std::string& k, const std::string& v) {
             c.bannerNoise = parseU32(k, v);
         }},
        {"firmware", "firmware version major.minor.build, e.g. 1.5.47",
         [](Config& c, const std::string& k, const std::string& v) {
             unsigned a, b, d;
             char tail;
             if (std::sscanf(v.c_str(), "%u.%u.%u%c", &a, &b, &d, &tail) != 3 || a > 255 ||
                 b > 255 || d > 255) {
                 bad(k, v, "major.minor.build, each 0 to 255");
             }
             c.fwMajor = static_cast<uint8_t>(a);
             c.fwMinor = static_cast<uint8_t>(b);
             c.fwBuild = static_cast<uint8_t>(d);
         }},
        {"native_bitmask", "native sub-commands offered, bit n = 0xA0 n",
         [](Config& c, const std::string& k, const std::string& v) {
             c.nativeBitmask = static_cast<uint16_t>(parseNumber(k, v, 0xFFFF));
         }},
        {"old_firmware", "firmware without native commands and bitmask query (true/false)",
         [](Config& c, const std::string& k, const std::string& v) {
             c.oldFirmware = parseBool(k, v);
         }},
        {"reset_dtr", "DTR level that holds the board in reset: set or clear",
         [](Config& c, const std::string& k, const std::string& v) {
             if (v == "set") {
                 c.resetOnDtrSet = true;
             } else if (v == "clear") {
                 c.resetOnDtrSet = false;
             } else {
                 bad(k, v, "set or clear");
             }
         }},
        {"silent", "the board never sends anything (true/false)",
         [](Config& c, const std::string& k, const std::string& v) { c.silent = parseBool(k, v); }},
        {"line_rate",
         "bytes take their time on the line at the baud rate, 10 bits each (true/false)",
         [](Config& c, const std::string& k, const std::string& v) {
             c.lineRate = parseBool(k, v);
         }},
        {"latency_us", "delay of every reply in microseconds",
         [](Config& c, const std::string& k, const std::string& v) {
             c.latencyUs = parseU32(k, v);
         }},
        {"modem_status", "modem lines reported: 0x10 CTS, 0x20 DSR, 0x40 RI, 0x80 DCD",
         [](Config& c, const std::string& k, const std::string& v) {
             c.modemStatus = parseByte(k, v);
         }},
        {"i2c_speed", "I2C frequency descriptor in force after a reset",
         [](Config& c, const std::string& k, const std::string& v) {
             c.i2cSpeed = parseByte(k, v);
         }},
        {"spi_speed", "SPI frequency descriptor in force after a reset",
         [](Config& c, const std::string& k, const std::string& v) {
             c.spiSpeed = parseByte(k, v);
         }},
        {"spi_control", "SPI control byte after a reset",
         [](Config& c, const std::string& k, const std::string& v) {
             c.spiControl = parseByte(k, v);
         }},
        {"i2c_refuse", "I2C speed descriptors the board refuses (list)",
         [](Config& c, const std::string& k, const std::string& v) {
             c.i2cRefused = parseByteList(k, v);
         }},
        {"spi_refuse", "SPI speed descriptors the board refuses (list)",
         [](Config& c, const std::string& k, const std::string& v) {
             c.spiRefused = parseByteList(k, v);
         }},
        {"spi_xor", "the SPI loopback answers MOSI XOR this byte",
         [](Config& c, const std::string& k, const std::string& v) { c.spiXor = parseByte(k, v); }},
        {"rar4120e", "8-bit address of the RAR4120E, or off",
         [](Config& c, const std::string& k, const std::string& v) {
             if (isNone(v)) {
                 c.rar4120ePresent = false;
                 return;
             }
             auto a = parseAddressList(k, v);
             if (a.size() != 1) bad(k, v, "one address or off");
             c.rar4120ePresent = true;
             c.rar4120eAddress = a[0];
         }},
        {"smbus", "8-bit addresses of SMBus test devices (list, or off)",
         [](Config& c, const std::string& k, const std::string& v) {
             c.smbusDevices = parseAddressList(k, v);
         }},
        {"device", "adds plain memory devices at these 8-bit addresses; none clears",
         [](Config& c, const std::string& k, const std::string& v) {
             if (v == "none") {
                 c.plainDevices.clear();
                 return;
             }
             auto a = parseAddressList(k, v);
             if (a.empty()) bad(k, v, "addresses or none");
             c.plainDevices.insert(c.plainDevices.end(), a.begin(), a.end());
         }},
        {"fault", "none, no_reply, cut, stall, wrong_completion or noise",
         [](Config& c, const std::string& k, const std::string& v) {
             c.fault.kind = parseFaultKind(k, v);
         }},
        {"fault.bytes", "cut: bytes kept; stall: bytes sent at once; noise: bytes added",
         [](Config& c, const std::string& k, const std::string& v) {
             c.fault.bytes = parseU32(k, v);
         }},
        {"fault.delay_us", "stall: delay of the rest of the reply, 0 = never",
         [](Config& c, const std::string& k, const std::string& v) {
             c.fault.delayUs = parseU32(k, v);
         }},
        {"fault.after", "replies that pass untouched before the fault starts",
         [](Config& c, const std::string& k, const std::string& v) {
             c.fault.after = parseU32(k, v);
         }},
        {"fault.times", "replies affected by the fault, 0 = all",
         [](Config& c, const std::string& k, const std::string& v) {
             c.fault.times = parseU32(k, v);
         }},
        {"fault.period", "the after/times pattern repeats every this many replies, 0 = once",
         [](Config& c, const std::string& k, const std::string& v) {
             c.fault.period = parseU32(k, v);
         }},
        {"unplug_after", "host writes served before the board is unplugged, or never",
         [](Config& c, const std::string& k, const std::string& v) {
             c.unplugAfter = v == "never" ? -1 : static_cast<int64_t>(parseU32(k, v));
         }},
        {"unplugged", "the board starts unplugged (true/false)",
         [](Config& c, const std::string& k, const std::string& v) {
             c.unplugged = parseBool(k, v);
         }},
        {"replug_after_ms", "an unplugged board comes back after this long, 0 = never",
         [](Config& c, const std::string& k, const std::string& v) {
             c.replugAfterMs = parseU32(k, v);
         }},
        {"record_traffic", "keep the record of all traffic (true/false)",
         [](Config& c, const std::string& k, const std::string& v) {
             c.recordTraffic = parseBool(k, v);
         }},
        {"usb.devices", "number of D2XX devices",
         [](Config& c, const std::string& k, const std::string& v) {
             c.usbDevices = static_cast<uint32_t>(parseNumber(k, v, 16));
         }},
        {"usb.silent", "D2XX device indexes whose board never answers (list)",
         [](Config& c, const std::string& k, const std::string& v) {
             c.usbSilent = parseU32List(k, v);
         }},
        {"usb.list_fails", "FT_ListDevices fails (true/false)",
         [](Config& c, const std::string& k, const std::string& v) {
             c.usbListFails = parseBool(k, v);
         }},
        {"usb.open_fails", "FT_Open fails: another driver holds the devices (true/false)",
         [](Config& c, const std::string& k, const std::string& v) {
             c.usbOpenFails = parseBool(k, v);
         }},
        {"usb.reject_baud", "baud rates FT_SetBaudRate refuses (list)",
         [](Config& c, const std::string& k, const std::string& v) {
             c.usbRejectedBauds = parseU32List(k, v);
         }},
        {"usb.latency_timer", "latency timer in ms after FT_Open (the chip's default is 16)",
         [](Config& c, const std::string& k, const std::string& v) {
             c.usbLatencyTimer = parseByte(k, v);
         }},
        {"usb.serial", "serial number stem; the device index + 1 is appended",
         [](Config& c, const std::string& k, const std::string& v) {
             c.usbSerial = unescape(k, v);
             if (c.usbSerial.size() > 14) bad(k, v, "at most 14 characters");
         }},
        {"usb.description", "device description",
         [](Config& c, const std::string& k, const std::string& v) {
             c.usbDescription = unescape(k, v);
             if (c.usbDescription.size() > 63) bad(k, v, "at most 63 characters");
         }},
        {"usb.id", "vendor id << 16 | product id",
         [](Config& c, const std::string& k, const std::string& v) { c.usbId = parseU32(k, v); }},
        {"usb.type", "device type reported by FT_GetDeviceInfo",
         [](Config& c, const std::string& k, const std::string& v) { c.usbType = parseU32(k, v); }},
    };
    return keys;
}

void checkAddresses(const Config& c) {
    std::vector<uint8_t> all = c.smbusDevices;
    all.insert(all.end(), c.plainDevices.begin(), c.plainDevices.end());
    if (c.rar4120ePresent) all.push_back(c.rar4120eAddress);
    for (size_t i = 0; i < all.size(); ++i) {
        for (size_t j = i + 1; j < all.size(); ++j) {
            if (all[i] == all[j]) {
                char msg[64];
                std::snprintf(msg, sizeof msg, "two devices at address 0x%02X", all[i]);
                throw ConfigError(msg);
            }
        }
    }
}

} // namespace

void Config::set(const std::string& key, const std::string& value) {
    for (const auto& k : table()) {
        if (key == k.name) {
            k.set(*this, key, trim(value));
            checkAddresses(*this);
            return;
        }
    }
    throw ConfigError("unknown key '" + key + "'");
}

Config Config::fromText(const std::string& text) {
    Config c;
    std::istringstream in(text);
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        // A '#' inside a quoted value is text, not a comment.
        bool quoted = false;
        for (size_t i = 0; i < line.size(); ++i) {
            if (line[i] == '"' && (i == 0 || line[i - 1] != '\\')) quoted = !quoted;
            if (line[i] == '#' && !quoted) {
                line.resize(i);
                break;
            }
        }
        line = trim(line);
        if (line.empty()) continue;
        size_t eq = line.find('=');
        if (eq == std::string::npos) {
            throw ConfigError("line " + std::to_string(number) + ": expected 'key = value': '" +
                              line + "'");
        }
        try {
            c.set(trim(line.substr(0, eq)), line.substr(eq + 1));
        } catch (const ConfigError& e) {
            throw ConfigError("line " + std::to_string(number) + ": " + e.what());
        }
    }
    return c;
}

Config Config::fromFile(const std::string& path) {
    std::ifstream in;
    try {
        // The name is UTF-8, which Windows needs as UTF-16; bytes elsewhere.
        in.open(std::filesystem::u8path(path), std::ios::binary);
    } catch (const std::exception&) {
        // Not UTF-8: no file has that name.
    }
    if (!in) throw ConfigError("cannot read config file '" + path + "'");
    std::ostringstream text;
    text << in.rdbuf();
    try {
        return fromText(text.str());
    } catch (const ConfigError& e) {
        throw ConfigError(path + ": " + e.what());
    }
}

std::string Config::bannerText() const {
    if (!banner.empty()) return banner;
    char text[64];
    std::snprintf(text, sizeof text, "Kelvo PODLINK v%02u.%02u.%02u\r\n", fwMajor, fwMinor,
                  fwBuild);
    return text;
}

std::vector<std::pair<std::string, std::string>> Config::keys() {
    std::vector<std::pair<std::string, std::string>> out;
    for (const auto& k : table())
        out.emplace_back(k.name, k.help);
    return out;
}

} // namespace podsim
