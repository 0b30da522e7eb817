// What the bus transactions share: the native-command bits, the firmware's
// completion bytes and the one-write, one-read exchanges they are built from.
#ifndef RERODADA_BUSTRANSACTION_H
#define RERODADA_BUSTRANSACTION_H

#include "Library.h"

#include <cstdint>

namespace rerodada {

// Bit n of nBrimNativeSMBusCommandsBitmask offers sub-command 0xA0 n.
constexpr uint16_t kNativeQuick = 1u << 0x03;
constexpr uint16_t kNativeWriteReadStop = 1u << 0x05;
constexpr uint16_t kNativeWriteBlock = 1u << 0x06;
constexpr uint16_t kNativeReadBlock = 1u << 0x07;
constexpr uint16_t kNativeReadBlockPec = 1u << 0x08;
constexpr uint16_t kNativeWriteReadNoStop = 1u << 0x09;
constexpr uint16_t kNativeSpi = 1u << 0x0A;

inline bool NativeOffers(uint16_t bit) {
    return (nBrimNativeSMBusCommandsBitmask & bit) != 0;
}

// A command's completion byte is its first byte plus 0x10.
constexpr uint8_t kStartDone = 0xB0; // also ends every native sub-command
constexpr uint8_t kWriteDone = 0xB1;
constexpr uint8_t kReadDone = 0xB2;
constexpr uint8_t kStopDone = 0xB3;

constexpr uint8_t kStart = 0xA0;
constexpr uint8_t kWrite = 0xA1;
constexpr uint8_t kRead = 0xA2;
constexpr uint8_t kStop = 0xA3;

// Sub-commands of 0xA0 (the native frames).
constexpr uint8_t kSubStart = 0x00;
constexpr uint8_t kSubRestart = 0x01;
constexpr uint8_t kSubQuick = 0x03;
constexpr uint8_t kSubOption = 0x04;
constexpr uint8_t kSubWriteReadStop = 0x05;
constexpr uint8_t kSubWriteBlock = 0x06;
constexpr uint8_t kSubReadBlock = 0x07;
constexpr uint8_t kSubReadBlockPec = 0x08;
constexpr uint8_t kSubWriteReadNoStop = 0x09;
constexpr uint8_t kSubSpi = 0x0A;
constexpr uint8_t kSubSpiCs = 0x0C;

inline uint8_t WriteAddress(uint8_t address) {
    return static_cast<uint8_t>(address & 0xFE);
}
inline uint8_t ReadAddress(uint8_t address) {
    return static_cast<uint8_t>(address | 0x01);
}

// Sends the bytes in one write and reads the reply; true when the write went
// out and exactly `expected` bytes came back, the last of them `last`.
bool ExchangeExact(const uint8_t* bytes, uint32_t count, uint32_t expected, uint8_t last);

// The outcome line of a failed transaction.
void ListFailed();

// A transaction composed of basic I2C commands. All of them go out in one
// string and the concatenated reply is checked at once: its length and every
// completion byte.
class PortableI2C {
  public:
    PortableI2C& Start() { return Add(kStart, kSubStart, kStartDone); }
    PortableI2C& Restart() { return Add(kStart, kSubRestart, kStartDone); }
    PortableI2C& Write(uint8_t byte) { return Add(kWrite, byte, kWriteDone); }
    // With acknowledge the device goes on to the next byte; without, it is the last.
    PortableI2C& Read(bool acknowledge);
    PortableI2C& Stop() { return Add(kStop, 0x00, kStopDone); }

    // True when the reply has exactly the expected shape; the bytes read are
    // then Data(0), Data(1), ...
    bool Run();
    uint8_t Data(uint32_t index) const { return data_[index]; }

  private:
    static constexpr uint32_t kMaxCommands = 10;
    PortableI2C& Add(uint8_t command, uint8_t argument, uint8_t done);

    uint8_t sent_[2 * kMaxCommands];
    uint32_t sentCount_ = 0;
    // The reply: a completion byte to compare, or a data place (dataPlace_).
    uint8_t reply_[2 * kMaxCommands];
    bool dataPlace_[2 * kMaxCommands];
    uint32_t replyCount_ = 0;
    uint8_t data_[kMaxCommands];
};

// Sub-command 0xA0 0x05: writes writeCount bytes (at most 255) to the device,
// then reads readCount (at most 255), with a stop. True when exactly readCount
// bytes and 0xB0 came back; the bytes read are then the reply's first ones.
bool NativeWriteRead(uint8_t address, const uint8_t* data, uint32_t writeCount, uint32_t readCount);

// A listing entry naming a transfer and its first bytes, at most ten:
// "<name>(<count> bytes <what>: 0x.. 0x.. )".
void ListTransferBytes(const char* name, const char* what, uint32_t count, const uint8_t* bytes);

} // namespace rerodada

#endif
