// The board's SPI master (pins, mode, bit order, speed, transfers, chip
// select) and its 8-bit parallel P8 bus.
#include "rerodada.h"

#include "BusTransaction.h"
#include "Connection.h"
#include "Logs.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace rerodada {
namespace {

constexpr uint8_t kSpiSpeed = 0xAD;
constexpr uint8_t kSpiControl = 0xAE;
constexpr uint8_t kSpiExchange = 0xAF;
constexpr uint8_t kSpiControlQuery = 0x80;
constexpr uint8_t kPinWrite = 0xF0;
constexpr uint8_t kP8Configure = 0xAA;
constexpr uint8_t kP8Write = 0xAB;
constexpr uint8_t kP8Read = 0xAC;

// Control byte: bit 0 CPHA, bit 1 CPOL, bit 2 least significant bit first,
// bits 3 to 5 the block code.
constexpr uint8_t kCpha = 0x01;
constexpr uint8_t kCpol = 0x02;
constexpr uint8_t kLsbFirst = 0x04;
constexpr uint8_t kBlockCodeMask = 0x38;

// A native transfer needs the firmware's own SPI command.
constexpr int32_t kNativeSpiAutoCS = 256;
constexpr uint32_t kMaxNativeSpi = 256;

uint32_t csPin = 9;
uint32_t sckPin = 10;
uint32_t misoPin = 11;
uint32_t mosiPin = 12;
// The SPI commands drive fixed pins; moved pins leave them without effect.
bool pinsStandard = true;
bool csActiveHigh = false;
uint8_t msbFirst = 1;
uint8_t cpol = 0;
uint8_t cpha = 0;
uint8_t lastControlSent = 0;

void RecomputePinsStandard() {
    pinsStandard = sckPin == 10 && misoPin == 11 && mosiPin == 12;
}

uint8_t BlockCode(int32_t blockSize) {
    return blockSize >= 1 && blockSize <= 4 ? static_cast<uint8_t>(0x08 + (blockSize - 1) * 0x10)
                                            : 0;
}

// The block size a control byte codes (1 to 4), 0 for none.
int32_t CodedBlockSize(uint8_t control) {
    switch (control & kBlockCodeMask) {
    case 0x08:
        return 1;
    case 0x18:
        return 2;
    case 0x28:
        return 3;
    case 0x38:
        return 4;
    default:
        return 0;
    }
}

bool ControlExchange(uint8_t argument, uint8_t* reported) {
    const uint8_t bytes[] = {kSpiControl, argument};
    if (!ExchangeExact(bytes, 2, 2, 0xBE)) return false;
    *reported = ReroDadaResultChar(0);
    return true;
}

// Reads the board's control byte, keeps the bits outside `replaced`, puts
// in `bits`, and writes it back when it changed.
bool UpdateControl(uint8_t replaced, uint8_t bits) {
    uint8_t current;
    if (!ControlExchange(kSpiControlQuery, &current)) return false;
    const uint8_t wanted = static_cast<uint8_t>((current & ~replaced) | bits);
    uint8_t reported;
    return wanted == current || ControlExchange(wanted, &reported);
}

// The speed exchange: true when the board answered in shape; *effective is
// then the descriptor in force.
bool SpeedExchange(uint8_t descriptor, bool* sent, uint8_t* effective) {
    *sent = ReroDada2ByteWrite(kSpiSpeed, descriptor, 2);
    if (!*sent || ReroDadaResultCharCount() != 2 || ReroDadaResultChar(1) != 0xBD) return false;
    *effective = ReroDadaResultChar(0);
    return true;
}

uint8_t CsOption() {
    uint8_t pinCode = 0;
    if (csPin >= 1 && csPin <= 8)
        pinCode = static_cast<uint8_t>(0x80 + (csPin - 1) * 8);
    else if (csPin >= 13 && csPin <= 15)
        pinCode = static_cast<uint8_t>((csPin - 12) * 8);
    return static_cast<uint8_t>(0x06 + (csActiveHigh ? 0x01 : 0x00) + pinCode);
}

uint32_t ChipSelect(bool active) {
    const uint8_t level = active == csActiveHigh ? 1 : 0;
    return ReroDada2ByteWrite(static_cast<uint8_t>(kPinWrite | (csPin & 0x0F)), level, 1) ? 1 : 0;
}

} // namespace
} // namespace rerodada

using namespace rerodada;

RERODADA_API(uint32_t) BrimSpiConfigSCKPin(uint32_t pin) try {
    EnsureInitialised();
    sckPin = pin;
    RecomputePinsStandard();
    return 1;
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}

RERODADA_API(uint32_t) BrimSpiConfigMOSIPin(uint32_t pin) try {
    EnsureInitialised();
    mosiPin = pin;
    RecomputePinsStandard();
    return 1;
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}

RERODADA_API(uint32_t) BrimSpiConfigMISOPin(uint32_t pin) try {
    EnsureInitialised();
    misoPin = pin;
    RecomputePinsStandard();
    return 1;
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}

RERODADA_API(uint32_t) BrimSpiConfigCSPin(uint32_t pin) try {
    EnsureInitialised();
    csPin = pin;
    RecomputePinsStandard();
    return 1;
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}

RERODADA_API(uint32_t) BrimSpiConfigCSPinActiveHigh(uint8_t activeHigh) try {
    EnsureInitialised();
    csActiveHigh = activeHigh != 0;
    return 0;
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}

RERODADA_API(uint32_t) BrimSpiConfigCpolCpha(uint32_t polarity, uint32_t phase) try {
    EnsureInitialised();
    const uint8_t newCpol = polarity ? 1 : 0;
    const uint8_t newCpha = phase ? 1 : 0;
    char text[64];
    snprintf(text, sizeof text, "BrimSpiConfigCpolCpha(SPI_cpol = %d, SPI_cpha = %d)", newCpol,
             newCpha);
    BrimLogComment(0, text);
    const uint8_t bits = static_cast<uint8_t>(BlockCode(gSPI_AutoCS) | (newCpol ? kCpol : 0) |
                                              (newCpha ? kCpha : 0));
    if (!UpdateControl(kCpol | kCpha | kBlockCodeMask, bits)) return 0;
    cpol = newCpol;
    cpha = newCpha;
    return 1;
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}

RERODADA_API(uint32_t) BrimSpiConfigMSBFirst(uint8_t first) try {
    EnsureInitialised();
    const uint8_t bits =
        static_cast<uint8_t>(BlockCode(gSPI_AutoCS) | (first != 1 ? kLsbFirst : 0));
    if (!UpdateControl(kLsbFirst | kBlockCodeMask, bits)) return 0;
    msbFirst = first;
    return 1;
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}

RERODADA_API(uint32_t) BrimSpiConfigSCKSpeedKhz(int32_t kHz) try {
    EnsureInitialised();
    ListingNotef("BrimSpiConfigSCKSpeedKhz(%d)", kHz);
    const uint8_t descriptor = BRIM_Frequency_Descriptor_of_MHz(kHz / 1000.0);
    bool sent;
    uint8_t effective;
    if (!SpeedExchange(descriptor, &sent, &effective)) {
        ListingNote(sent ? "clock speed query failed." : "Unable to send clock speed query.");
        return 0;
    }
    char text[32];
    ListingNotef("Effective SPI speed = %.25s", BrimFrequencyToString(effective, text));
    return effective == descriptor ? 1 : 0;
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}

RERODADA_API(uint32_t) BrimSPISetSpeed(uint8_t descriptor) try {
    EnsureInitialised();
    const char* comment;
    switch (descriptor) {
    case 0x11:
        comment = "BrimSPISetSpeed(8MHz)";
        break;
    case 0x14:
        comment = "BrimSPISetSpeed(4MHz)";
        break;
    case 0x17:
        comment = "BrimSPISetSpeed(2MHz)";
        break;
    case 0x20:
        comment = "BrimSPISetSpeed(1MHz)";
        break;
    case 0x24:
        comment = "BrimSPISetSpeed(400kHz)";
        break;
    case 0x30:
        comment = "BrimSPISetSpeed(100kHz)";
        break;
    case 0x35:
        comment = "BrimSPISetSpeed(32kHz)";
        break;
    default:
        comment = "BrimSPISetSpeed";
    }
    BrimLogComment(0, comment);
    bool sent;
    uint8_t effective;
    if (SpeedExchange(descriptor, &sent, &effective) && effective == descriptor) return 1;
    ListFailed();
    return 0;
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}

RERODADA_API(uint8_t) BrimSpiByte(int32_t byte) try {
    EnsureInitialised();
    if (!pinsStandard) return 0;
    if (!ReroDada2ByteWrite(kSpiExchange, static_cast<uint8_t>(byte), 1) ||
        ReroDadaResultCharCount() != 2 || ReroDadaResultChar(1) != 0xBF)
        return 0;
    return ReroDadaResultChar(0);
} catch (...) {
    return ExceptionResult<uint8_t>(__func__);
}

RERODADA_API(uint32_t) BrimSpiTransfer(uint32_t count, const uint8_t* mosi, uint8_t* miso) try {
    EnsureInitialised();
    if (count == 0) return 1;
    return bBrimSupportsNativeSMBusCommands ? BrimSpiTransfer_native(count, mosi, miso)
                                            : BrimSpiTransfer_portable(count, mosi, miso);
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}

RERODADA_API(uint32_t)
BrimSpiTransfer_portable(uint32_t count, const uint8_t* mosi, uint8_t* miso) try {
    EnsureInitialised();
    ListTransferBytes("BrimSpiTransfer_portable", "MOSI", count, mosi);
    if (!pinsStandard) {
        for (uint32_t i = 0; i < count; ++i)
            miso[i] = BrimSpiByte(mosi[i]);
        ListTransferBytes("BrimSpiTransfer_portable", "MISO", count, miso);
        return 1;
    }

    const uint8_t control =
        static_cast<uint8_t>((msbFirst != 1 ? kLsbFirst : 0) | (cpol ? kCpol : 0) |
                             (cpha ? kCpha : 0) | BlockCode(gSPI_AutoCS));
    if (control != lastControlSent) {
        const uint8_t bytes[] = {kSpiControl, control};
        // The board answers with the control byte it put in force.
        lastControlSent = ReroDadaStringWrite(bytes, 2, 1) && ReroDadaResultCharCount() == 2 &&
                                  ReroDadaResultChar(1) == 0xBE
                              ? ReroDadaResultChar(0)
                              : control;
        const int32_t coded = CodedBlockSize(lastControlSent);
        if (coded > 0 || !NativeOffers(kNativeSpi)) gSPI_AutoCS = coded;
    }

    const uint32_t k =
        gSPI_AutoCS >= 1 && gSPI_AutoCS <= 255 ? static_cast<uint32_t>(gSPI_AutoCS) : 1;
    // The whole answer must fit the connection's reply buffer.
    if ((uint64_t(count) + k - 1) / k * (k + 1) > kResultRoom) {
        ListFailed();
        return 0;
    }
    const uint32_t blocks = (count + k - 1) / k;
    const uint32_t length = blocks * (k + 1);
    std::vector<uint8_t> string(length, 0x00);
    for (uint32_t b = 0; b < blocks; ++b) {
        string[b * (k + 1)] = kSpiExchange;
        for (uint32_t j = 0; j < k && b * k + j < count; ++j)
            string[b * (k + 1) + 1 + j] = mosi[b * k + j];
    }
    if (!ReroDadaStringWrite(string.data(), length, static_cast<int>(length))) {
        ListFailed();
        return 0;
    }

    const uint32_t got = ReroDadaResultCharCount();
    if (got != length) {
        // Keep what can be told apart: each byte that precedes a completion byte.
        uint32_t stored = 0;
        for (uint32_t i = 0; i + 1 < got && stored < count; ++i)
            if (ReroDadaResultChar(i + 1) == 0xBF) miso[stored++] = ReroDadaResultChar(i);
        ListFailed();
        return 0;
    }
    for (uint32_t b = 0; b < blocks; ++b) {
        if (ReroDadaResultChar(b * (k + 1) + k) != 0xBF) {
            ListFailed();
            return 0;
        }
        for (uint32_t j = 0; j < k && b * k + j < count; ++j)
            miso[b * k + j] = ReroDadaResultChar(b * (k + 1) + j);
    }
    ListTransferBytes("BrimSpiTransfer_portable", "MISO", count, miso);
    return 1;
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}

RERODADA_API(uint32_t)
BrimSpiTransfer_native(uint32_t count, const uint8_t* mosi, uint8_t* miso) try {
    EnsureInitialised();
    if (!NativeOffers(kNativeSpi)) return BrimSpiTransfer_portable(count, mosi, miso);
    ListTransferBytes("BrimSpiTransfer_native", "MOSI", count, mosi);
    if (count == 0 || count > kMaxNativeSpi) {
        ListingNotef("BrimSpiTransfer_native(%d bytes) failed: byte count out of range 1..256",
                     static_cast<int>(count));
        return 0;
    }
    if (gSPI_AutoCS != kNativeSpiAutoCS) {
        ListingNotef("BrimSpiTransfer_native(%d bytes): switching to portable mode because "
                     "gSPI_AutoCS != 256",
                     static_cast<int>(count));
        return BrimSpiTransfer_portable(count, mosi, miso);
    }

    uint8_t frame[4 + kMaxNativeSpi];
    uint32_t head = 0;
    frame[head++] = kStart;
    if (!csActiveHigh && csPin == 9) {
        ListingNote("Firmware command 0xA0 0x0A BRIM_i2cStart_SpiMosiMiso");
        frame[head++] = kSubSpi;
    } else {
        const uint8_t option = CsOption();
        ListingNote("Firmware command 0xA0 0x0C BRIM_i2cStart_SpiMosiMisoCs");
        ListingNotef("CS option=0x%2.2X: SPI_cs_pin_active_high=%d, SPI_cs_pin=%d", option,
                     csActiveHigh ? 1 : 0, static_cast<int>(csPin));
        frame[head++] = kSubSpiCs;
        frame[head++] = option;
    }
    frame[head++] = static_cast<uint8_t>(count);
    memcpy(frame + head, mosi, count);
    if (!ExchangeExact(frame, head + count, count + 1, kStartDone)) {
        ListFailed();
        return 0;
    }
    for (uint32_t i = 0; i < count; ++i)
        miso[i] = ReroDadaResultChar(i);
    ListTransferBytes("BrimSpiTransfer_native", "MISO", count, miso);
    return 1;
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}

RERODADA_API(uint32_t) BrimSpiCsAssert(void) try {
    EnsureInitialised();
    ListingNote("BrimSpiCsAssert()");
    return ChipSelect(true);
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}

RERODADA_API(uint32_t) BrimSpiCsNegate(void) try {
    EnsureInitialised();
    ListingNote("BrimSpiCsNegate()");
    return ChipSelect(false);
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}

RERODADA_API(uint32_t) BrimP8BusConfigure(uint8_t config) try {
    EnsureInitialised();
    ListingNotef("BrimP8BusConfigure(config=0x%2.2x)", config);
    return ReroDada2ByteWrite(kP8Configure, config, 1) ? 1 : 0;
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}

RERODADA_API(uint32_t) BrimP8BusWrite(uint8_t address, uint8_t data) try {
    EnsureInitialised();
    ListingNotef("BrimP8BusWrite(addr=0x%2.2x, data=0x%2.2x)", address, data);
    const uint8_t bytes[] = {kP8Write, address, data};
    return ReroDadaStringWrite(bytes, sizeof bytes, 1) ? 1 : 0;
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}

RERODADA_API(uint8_t) BrimP8BusRead(uint8_t address) try {
    EnsureInitialised();
    ListingNotef("BrimP8BusRead(addr=0x%2.2x)", address);
    if (!ReroDada2ByteWrite(kP8Read, address, 1)) return 0;
    return ReroDadaResultChar(0);
} catch (...) {
    return ExceptionResult<uint8_t>(__func__);
}
