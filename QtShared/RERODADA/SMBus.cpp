// SMBus transactions: quick command, send and receive byte, byte and word
// reads and writes, process call. Each is one command string in one write,
// answered by one reply read, either composed of basic I2C commands (portable)
// or as the firmware's write-then-read sub-command 0xA0 0x05 (native).
#include "rerodada.h"

#include "BusTransaction.h"
#include "Logs.h"

namespace rerodada {
namespace {

constexpr uint8_t kAlertResponseAddress = 0x18;
constexpr uint8_t kHostAddress = 0x10;

uint32_t Done(bool ok) {
    if (ok) return 1;
    ListFailed();
    return 0;
}

uint32_t ReceivedByte(uint8_t byte, uint8_t* value) {
    if (value) *value = byte;
    ListingResultf("received 0x%2.2x = %d", byte, byte);
    return 1;
}

uint32_t ReceivedWord(uint8_t low, uint8_t high, uint16_t* value) {
    uint16_t word = static_cast<uint16_t>(high << 8 | low);
    if (value) *value = word;
    ListingResultf("received 0x%4.4x = %d", word, word);
    return 1;
}

uint8_t Low(uint16_t word) {
    return static_cast<uint8_t>(word);
}
uint8_t High(uint16_t word) {
    return static_cast<uint8_t>(word >> 8);
}

} // namespace
} // namespace rerodada

using namespace rerodada;

RERODADA_API(uint32_t) BrimSMBusQuick(uint8_t address) try {
    EnsureInitialised();
    return bBrimSupportsNativeSMBusCommands ? BrimSMBusQuick_native(address)
                                            : BrimSMBusQuick_portable(address);
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}

RERODADA_API(uint32_t) BrimSMBusQuick_portable(uint8_t address) try {
    EnsureInitialised();
    ListingNotef("BrimSMBusQuick_portable(addr=0x%2.2x)", address);
    PortableI2C t;
    t.Start().Write(address);
    // A read-quick must still clock one byte in and leave it unacknowledged.
    if (address & 0x01) t.Read(false);
    return Done(t.Stop().Run());
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}

RERODADA_API(uint32_t) BrimSMBusQuick_native(uint8_t address) try {
    EnsureInitialised();
    if (!NativeOffers(kNativeQuick)) {
        if (NativeOffers(kNativeWriteReadStop))
            return BrimI2CWriteAndReadBytes_native(address, 0, 0, nullptr, nullptr, nullptr);
        return BrimSMBusQuick_portable(address);
    }
    ListingNotef("BrimSMBusQuick_native(addr=0x%2.2x)", address);
    const uint8_t frame[] = {kStart, kSubQuick, address};
    return Done(ExchangeExact(frame, sizeof frame, 1, kStartDone));
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}

RERODADA_API(uint32_t) BrimSMBusSendByte(uint8_t address, uint8_t command) try {
    EnsureInitialised();
    return bBrimSupportsNativeSMBusCommands ? BrimSMBusSendByte_native(address, command)
                                            : BrimSMBusSendByte_portable(address, command);
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}

RERODADA_API(uint32_t) BrimSMBusSendByte_portable(uint8_t address, uint8_t command) try {
    EnsureInitialised();
    ListingNotef("BrimSMBusSendByte_portable(addr=0x%2.2x, cmd=0x%2.2x)", address, command);
    PortableI2C t;
    return Done(t.Start().Write(WriteAddress(address)).Write(command).Stop().Run());
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}

RERODADA_API(uint32_t) BrimSMBusSendByte_native(uint8_t address, uint8_t command) try {
    EnsureInitialised();
    if (!NativeOffers(kNativeWriteReadStop)) return BrimSMBusSendByte_portable(address, command);
    ListingNotef("BrimSMBusSendByte_native(addr=0x%2.2x, cmd=0x%2.2x)", address, command);
    return Done(NativeWriteRead(address, &command, 1, 0));
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}

RERODADA_API(uint32_t) BrimSMBusReceiveByte(uint8_t address, uint8_t* value) try {
    EnsureInitialised();
    return bBrimSupportsNativeSMBusCommands ? BrimSMBusReceiveByte_native(address, value)
                                            : BrimSMBusReceiveByte_portable(address, value);
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}

RERODADA_API(uint32_t) BrimSMBusReceiveByte_portable(uint8_t address, uint8_t* value) try {
    EnsureInitialised();
    ListingNotef("BrimSMBusReceiveByte_portable(addr=0x%2.2x)", address);
    PortableI2C t;
    if (!t.Start().Write(ReadAddress(address)).Read(false).Stop().Run()) return Done(false);
    return ReceivedByte(t.Data(0), value);
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}

RERODADA_API(uint32_t) BrimSMBusReceiveByte_native(uint8_t address, uint8_t* value) try {
    EnsureInitialised();
    if (!NativeOffers(kNativeWriteReadStop)) return BrimSMBusReceiveByte_portable(address, value);
    ListingNotef("BrimSMBusReceiveByte_native(addr=0x%2.2x)", address);
    if (!NativeWriteRead(address, nullptr, 0, 1)) return Done(false);
    return ReceivedByte(ReroDadaResultChar(0), value);
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}

RERODADA_API(uint32_t) BrimSMBusWriteByte(uint8_t address, uint8_t command, uint8_t value) try {
    EnsureInitialised();
    return bBrimSupportsNativeSMBusCommands ? BrimSMBusWriteByte_native(address, command, value)
                                            : BrimSMBusWriteByte_portable(address, command, value);
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}

RERODADA_API(uint32_t)
BrimSMBusWriteByte_portable(uint8_t address, uint8_t command, uint8_t value) try {
    EnsureInitialised();
    ListingNotef("BrimSMBusWriteByte_portable(addr=0x%2.2x, cmd=0x%2.2x, data=0x%2.2x)", address,
                 command, value);
    PortableI2C t;
    t.Start().Write(WriteAddress(address)).Write(command).Write(value).Stop();
    return Done(t.Run());
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}

RERODADA_API(uint32_t)
BrimSMBusWriteByte_native(uint8_t address, uint8_t command, uint8_t value) try {
    EnsureInitialised();
    if (!NativeOffers(kNativeWriteReadStop))
        return BrimSMBusWriteByte_portable(address, command, value);
    ListingNotef("BrimSMBusWriteByte_native(addr=0x%2.2x, cmd=0x%2.2x, data=0x%2.2x)", address,
                 command, value);
    const uint8_t data[] = {command, value};
    return Done(NativeWriteRead(address, data, sizeof data, 0));
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}

RERODADA_API(uint32_t) BrimSMBusWriteWord(uint8_t address, uint8_t command, uint16_t value) try {
    EnsureInitialised();
    return bBrimSupportsNativeSMBusCommands ? BrimSMBusWriteWord_native(address, command, value)
                                            : BrimSMBusWriteWord_portable(address, command, value);
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}

RERODADA_API(uint32_t)
BrimSMBusWriteWord_portable(uint8_t address, uint8_t command, uint16_t value) try {
    EnsureInitialised();
    ListingNotef("BrimSMBusWriteWord_portable(addr=0x%2.2x, cmd=0x%2.2x, data=0x%4.4x)", address,
                 command, value);
    PortableI2C t;
    t.Start().Write(WriteAddress(address)).Write(command).Write(Low(value)).Write(High(value));
    return Done(t.Stop().Run());
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}

RERODADA_API(uint32_t)
BrimSMBusWriteWord_native(uint8_t address, uint8_t command, uint16_t value) try {
    EnsureInitialised();
    if (!NativeOffers(kNativeWriteReadStop))
        return BrimSMBusWriteWord_portable(address, command, value);
    ListingNotef("BrimSMBusWriteWord_native(addr=0x%2.2x, cmd=0x%2.2x, data=0x%4.4x)", address,
                 command, value);
    const uint8_t data[] = {command, Low(value), High(value)};
    return Done(NativeWriteRead(address, data, sizeof data, 0));
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}

RERODADA_API(uint32_t) BrimSMBusReadByte(uint8_t address, uint8_t command, uint8_t* value) try {
    EnsureInitialised();
    return bBrimSupportsNativeSMBusCommands ? BrimSMBusReadByte_native(address, command, value)
                                            : BrimSMBusReadByte_portable(address, command, value);
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}

RERODADA_API(uint32_t)
BrimSMBusReadByte_portable(uint8_t address, uint8_t command, uint8_t* value) try {
    EnsureInitialised();
    ListingNotef("BrimSMBusReadByte_portable(addr=0x%2.2x, cmd=0x%2.2x)", address, command);
    PortableI2C t;
    t.Start().Write(WriteAddress(address)).Write(command);
    t.Restart().Write(ReadAddress(address)).Read(false).Stop();
    if (!t.Run()) return Done(false);
    return ReceivedByte(t.Data(0), value);
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}

RERODADA_API(uint32_t)
BrimSMBusReadByte_native(uint8_t address, uint8_t command, uint8_t* value) try {
    EnsureInitialised();
    if (!NativeOffers(kNativeWriteReadStop))
        return BrimSMBusReadByte_portable(address, command, value);
    ListingNotef("BrimSMBusReadByte_native(addr=0x%2.2x, cmd=0x%2.2x)", address, command);
    if (!NativeWriteRead(address, &command, 1, 1)) return Done(false);
    return ReceivedByte(ReroDadaResultChar(0), value);
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}

RERODADA_API(uint32_t) BrimSMBusReadWord(uint8_t address, uint8_t command, uint16_t* value) try {
    EnsureInitialised();
    return bBrimSupportsNativeSMBusCommands ? BrimSMBusReadWord_native(address, command, value)
                                            : BrimSMBusReadWord_portable(address, command, value);
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}

RERODADA_API(uint32_t)
BrimSMBusReadWord_portable(uint8_t address, uint8_t command, uint16_t* value) try {
    EnsureInitialised();
    ListingNotef("BrimSMBusReadWord_portable(addr=0x%2.2x, cmd=0x%2.2x)", address, command);
    PortableI2C t;
    t.Start().Write(WriteAddress(address)).Write(command);
    t.Restart().Write(ReadAddress(address)).Read(true).Read(false).Stop();
    if (!t.Run()) return Done(false);
    return ReceivedWord(t.Data(0), t.Data(1), value);
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}

RERODADA_API(uint32_t)
BrimSMBusReadWord_native(uint8_t address, uint8_t command, uint16_t* value) try {
    EnsureInitialised();
    if (!NativeOffers(kNativeWriteReadStop))
        return BrimSMBusReadWord_portable(address, command, value);
    ListingNotef("BrimSMBusReadWord_native(addr=0x%2.2x, cmd=0x%2.2x)", address, command);
    if (!NativeWriteRead(address, &command, 1, 2)) return Done(false);
    return ReceivedWord(ReroDadaResultChar(0), ReroDadaResultChar(1), value);
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}

RERODADA_API(uint32_t)
BrimSMBusProcessCall(uint8_t address, uint8_t command, uint16_t value, uint16_t* result) try {
    EnsureInitialised();
    return bBrimSupportsNativeSMBusCommands
               ? BrimSMBusProcessCall_native(address, command, value, result)
               : BrimSMBusProcessCall_portable(address, command, value, result);
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}

RERODADA_API(uint32_t)
BrimSMBusProcessCall_portable(uint8_t address, uint8_t command, uint16_t value,
                              uint16_t* result) try {
    EnsureInitialised();
    ListingNotef("BrimSMBusProcessCall_portable(addr=0x%2.2x, cmd=0x%2.2x, data=0x%4.4x)", address,
                 command, value);
    PortableI2C t;
    t.Start().Write(WriteAddress(address)).Write(command).Write(Low(value)).Write(High(value));
    t.Restart().Write(ReadAddress(address)).Read(true).Read(false).Stop();
    if (!t.Run()) return Done(false);
    return ReceivedWord(t.Data(0), t.Data(1), result);
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}

RERODADA_API(uint32_t)
BrimSMBusProcessCall_native(uint8_t address, uint8_t command, uint16_t value,
                            uint16_t* result) try {
    EnsureInitialised();
    if (!NativeOffers(kNativeWriteReadStop))
        return BrimSMBusProcessCall_portable(address, command, value, result);
    ListingNotef("BrimSMBusProcessCall_native(addr=0x%2.2x, cmd=0x%2.2x, data=0x%4.4x)", address,
                 command, value);
    const uint8_t data[] = {command, Low(value), High(value)};
    if (!NativeWriteRead(address, data, sizeof data, 2)) return Done(false);
    return ReceivedWord(ReroDadaResultChar(0), ReroDadaResultChar(1), result);
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}

RERODADA_API(uint32_t) BrimSMBusAlertResponse(uint8_t* value) try {
    EnsureInitialised();
    return BrimSMBusReceiveByte(kAlertResponseAddress, value);
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}

RERODADA_API(uint32_t) BrimSMBusWriteToHost(uint8_t command, uint16_t value) try {
    EnsureInitialised();
    return BrimSMBusWriteWord(kHostAddress, command, value);
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}
