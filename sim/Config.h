// Settings of a simulated interface board and of the USB front end that
// serves it. One text format feeds both the podlink-sim program and the
// D2XX stand-in library: "key = value" lines, "#" starts a comment.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace podsim {

// Raised for unreadable files, unknown keys and bad values; the message names
// the line (when there is one), the key and the offending text.
class ConfigError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

enum class FaultKind { None, NoReply, Cut, Stall, WrongCompletion, Noise };

// A fault applies to the bytes the firmware answers to one host write.
struct Fault {
    FaultKind kind = FaultKind::None;
    uint32_t bytes = 0;   // Cut: bytes kept; Stall: bytes sent at once; Noise: bytes added
    uint32_t delayUs = 0; // Stall: delay of the rest, 0 = never sent
    uint32_t after = 0;   // replies that pass untouched before the fault starts
    uint32_t times = 0;   // replies affected, 0 = every reply from then on
    uint32_t period = 0;  // the after/times pattern repeats every this many replies; 0 = once
};

struct Config {
    // Host line rate at which the firmware answers; 0 lets the front end
    // choose (115200 on a serial line, 921600 on USB).
    uint32_t baud = 0;
    std::string banner;       // empty: "Kelvo PODLINK vMM.mm.bb\r\n" from the version
    bool bannerNul = false;   // one NUL before the banner
    uint32_t bannerNoise = 0; // noise bytes before the banner (after the NUL)
    uint8_t fwMajor = 1, fwMinor = 5, fwBuild = 47;
    uint16_t nativeBitmask = 0x17FF;
    bool oldFirmware = false;  // no native commands, no bitmask query
    bool resetOnDtrSet = true; // asserted DTR holds the board in reset
    bool silent = false;       // the board never sends a byte
    uint32_t latencyUs = 0;
    // Host bytes reach the firmware, and its bytes reach the host, one
    // character time (10 bits at baud) after the previous one.
    bool lineRate = false;
    uint32_t modemStatus = 0x30; // CTS and DSR
    uint8_t i2cSpeed = 0x30;
    uint8_t spiSpeed = 0x14;
    uint8_t spiControl = 0x00;
    std::vector<uint8_t> i2cRefused; // speed descriptors the board will not take
    std::vector<uint8_t> spiRefused;
    uint8_t spiXor = 0x00; // MISO = MOSI XOR this

    bool rar4120ePresent = true;
    uint8_t rar4120eAddress = 0x2A;
    std::vector<uint8_t> smbusDevices{0xA0};
    std::vector<uint8_t> plainDevices;

    Fault fault;
    int64_t unplugAfter = -1; // exchanges served before the board is unplugged; -1 never
    bool unplugged = false;
    // An unplugged board comes back this long after it went, and then serves
    // unplugAfter writes again; 0 = it stays away.
    uint32_t replugAfterMs = 0;
    bool recordTraffic = true; // false keeps no traffic record (long runs)

    // USB front end (D2XX stand-in).
    uint32_t usbDevices = 1;
    std::vector<uint32_t> usbSilent; // device indexes that never answer
    bool usbListFails = false;
    bool usbOpenFails = false; // listed, but another driver holds them
    std::vector<uint32_t> usbRejectedBauds;
    uint8_t usbLatencyTimer = 16;
    std::string usbSerial = "PL00000"; // device index + 1 is appended
    std::string usbDescription = "PODLINK USB";
    uint32_t usbId = 0x04036001;
    uint32_t usbType = 0;

    static Config fromText(const std::string& text);
    static Config fromFile(const std::string& path);

    // Applies one setting as a config line would; throws ConfigError.
    void set(const std::string& key, const std::string& value);

    // The banner bytes the firmware prints after a reset.
    std::string bannerText() const;

    // Every key with a one-line description, for --help and the docs.
    static std::vector<std::pair<std::string, std::string>> keys();
};

} // namespace podsim
