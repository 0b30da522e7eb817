// Multi-byte bus operations: SMBus block write and read, block read with
// packet error checking, the general I2C write-then-read, the PMBus group
// command, and the PEC checksum itself.
#include "rerodada.h"

#include "BusTransaction.h"
#include "Connection.h"
#include "Logs.h"

#include <cstring>
#include <vector>

namespace rerodada {
namespace {

constexpr uint32_t kMaxBlock = 256;
// A native block write carries its data zero-filled to 256 bytes.
constexpr uint32_t kWriteBlockFrame = 5 + kMaxBlock;
constexpr uint32_t kWriteReadBlockFrame = 7 + kMaxBlock;
// The longest frame of one group-command device: 0xA0, sub-command, write
// count, read count, address, then data and PEC.
constexpr uint32_t kGroupFrame = 260;
// Group commands up to this total length go out as one string.
constexpr uint32_t kGroupString = 200;
// Native write-then-read counts travel as single bytes.
constexpr uint32_t kMaxNativeCount = 255;
// A portable block write's reply must fit the connection's reply buffer.
constexpr uint32_t kMaxPortableBlockWrite = kResultRoom - 5;
// The largest I2C memory is read in one transfer of 64 KiB; a longer count
// is a caller's mistake (a -1 passed as unsigned) and would take days of
// one-byte exchanges.
constexpr uint32_t kMaxPortableTransfer = 65536;

// addrW, command, addrR, count and up to 256 data bytes of a native block
// read with PEC: what its checksum covers.
uint8_t gPecAccumulator[4 + kMaxBlock];
uint8_t gGroupFrames[kGroupString];

uint32_t BlockCount(uint8_t countByte) {
    return countByte == 0 ? kMaxBlock : countByte;
}

// Collects the rest of a native block read's reply after its first read:
// the count byte, `count` data bytes and `trailer` bytes (PEC, status).
// reply receives them all; false when a read brings nothing or too much.
bool CollectBlockReply(uint8_t* reply, uint32_t trailer, uint32_t* count) {
    uint32_t have = ReroDadaResultCharCount();
    if (have == 0) return false;
    if (have == 2 && ReroDadaResultChar(1) == 0xFA) return false;
    *count = BlockCount(ReroDadaResultChar(0));
    const uint32_t total = 1 + *count + trailer;
    if (have > total) return false;
    for (uint32_t i = 0; i < have; ++i)
        reply[i] = ReroDadaResultChar(i);
    while (have < total) {
        ReroDadaStringRead(static_cast<int>(total - have), 200);
        uint32_t got = ReroDadaResultCharCount();
        if (got == 0 || have + got > total) return false;
        for (uint32_t i = 0; i < got; ++i)
            reply[have + i] = ReroDadaResultChar(i);
        have += got;
    }
    return true;
}

bool ExchangeOne(uint8_t b0, uint8_t b1, uint32_t expected, uint8_t last) {
    const uint8_t bytes[] = {b0, b1};
    return ExchangeExact(bytes, 2, expected, last);
}

} // namespace
} // namespace rerodada

using namespace rerodada;

RERODADA_API(uint8_t) PEC_crc8(const uint8_t* data, uint32_t length, uint8_t crc) try {
    EnsureInitialised();
    for (uint32_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<uint8_t>(crc & 0x80 ? (crc << 1) ^ 0x07 : crc << 1);
    }
    return crc;
} catch (...) {
    return ExceptionResult<uint8_t>(__func__);
}

RERODADA_API(uint32_t)
BrimSMBusWriteBlock(uint8_t address, uint8_t command, uint32_t count, const uint8_t* data) try {
    EnsureInitialised();
    return bBrimSupportsNativeSMBusCommands
               ? BrimSMBusWriteBlock_native(address, command, count, data)
               : BrimSMBusWriteBlock_portable(address, command, count, data);
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}

RERODADA_API(uint32_t)
BrimSMBusWriteBlock_portable(uint8_t address, uint8_t command, uint32_t count,
                             const uint8_t* data) try {
    EnsureInitialised();
    ListingNotef("BrimSMBusWriteBlock_portable(addr=0x%2.2x, cmd=0x%2.2x, count=0x%4.4x)", address,
                 command, count);
    CommDebugHexDump("BrimSMBusWriteBlock() data", data, count);
    if (count > kMaxPortableBlockWrite) {
        ListFailed();
        return 0;
    }
    const uint32_t replyLength = count + 5;
    std::vector<uint8_t> string;
    string.reserve(2 * replyLength);
    auto add = [&string](uint8_t c, uint8_t b) {
        string.push_back(c);
        string.push_back(b);
    };
    add(kStart, kSubStart);
    add(kWrite, WriteAddress(address));
    add(kWrite, command);
    add(kWrite, static_cast<uint8_t>(count));
    for (uint32_t i = 0; i < count; ++i)
        add(kWrite, data[i]);
    add(kStop, 0x00);
    RERODADA_TRACE("BrimSMBusWriteBlock() tx_len=%d", static_cast<int>(string.size()));
    RERODADA_TRACE("BrimSMBusWriteBlock() rx_len=%d", static_cast<int>(replyLength));

    bool ok = ReroDadaStringWrite(string.data(), static_cast<uint32_t>(string.size()),
                                  static_cast<int>(replyLength)) &&
              ReroDadaResultCharCount() == replyLength && ReroDadaResultChar(0) == kStartDone &&
              ReroDadaResultChar(replyLength - 1) == kStopDone;
    for (uint32_t i = 1; ok && i + 1 < replyLength; ++i)
        ok = ReroDadaResultChar(i) == kWriteDone;
    if (ok) return 1;
    ListFailed();
    return 0;
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}

RERODADA_API(uint32_t)
BrimSMBusWriteBlock_native(uint8_t address, uint8_t command, uint32_t count,
                           const uint8_t* data) try {
    EnsureInitialised();
    const bool writeBlock = NativeOffers(kNativeWriteBlock);
    if (!writeBlock && !NativeOffers(kNativeWriteReadStop))
        return BrimSMBusWriteBlock_portable(address, command, count, data);
    ListingNotef("BrimSMBusWriteBlock_native(addr=0x%2.2x, cmd=0x%2.2x, count=0x%4.4x)", address,
                 command, count);
    CommDebugHexDump("BrimSMBusWriteBlock() data", data, count);

    uint8_t frame[kWriteReadBlockFrame] = {};
    uint32_t length;
    if (writeBlock) {
        // The count byte carries 256 as 0; more than that has no frame, and
        // 256 bytes need a caller's buffer to come from.
        if (count > kMaxBlock || !data) {
            ListFailed();
            return 0;
        }
        const uint32_t n = count == 0 ? kMaxBlock : count;
        const uint8_t head[] = {kStart, kSubWriteBlock, WriteAddress(address), command,
                                static_cast<uint8_t>(count)};
        memcpy(frame, head, sizeof head);
        memcpy(frame + sizeof head, data, n);
        length = kWriteBlockFrame;
    } else {
        // Command and count byte travel among the write bytes, whose count is one byte.
        if (count == 0 || count >= 254)
            return BrimSMBusWriteBlock_portable(address, command, count, data);
        const uint8_t head[] = {kStart,
                                kSubWriteReadStop,
                                static_cast<uint8_t>(count + 2),
                                0x00,
                                WriteAddress(address),
                                command,
                                static_cast<uint8_t>(count)};
        memcpy(frame, head, sizeof head);
        memcpy(frame + sizeof head, data, count);
        length = kWriteReadBlockFrame;
    }
    if (ExchangeExact(frame, length, 1, kStartDone)) return 1;
    ListFailed();
    return 0;
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}

RERODADA_API(uint32_t)
BrimSMBusReadBlock(uint8_t address, uint8_t command, uint8_t* count, uint8_t* buffer,
                   uint32_t bufferSize) try {
    EnsureInitialised();
    return bBrimSupportsNativeSMBusCommands
               ? BrimSMBusReadBlock_native(address, command, count, buffer, bufferSize)
               : BrimSMBusReadBlock_portable(address, command, count, buffer, bufferSize);
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}

RERODADA_API(uint32_t)
BrimSMBusReadBlock_portable(uint8_t address, uint8_t command, uint8_t* count, uint8_t* buffer,
                            uint32_t bufferSize) try {
    EnsureInitialised();
    ListingNotef("BrimSMBusReadBlock_portable(addr=0x%2.2x, cmd=0x%2.2x, bufsize=0x%4.4x)", address,
                 command, bufferSize);
    PortableI2C head;
    head.Start().Write(WriteAddress(address)).Write(command);
    head.Restart().Write(ReadAddress(address)).Read(true);
    bool ok = head.Run();
    const uint8_t countByte = ok ? head.Data(0) : 0;
    const uint32_t n = BlockCount(countByte);
    const uint32_t stored = n < bufferSize ? n : bufferSize;
    // The count byte was acknowledged, so at least one more byte must be
    // clocked in and left unacknowledged before the stop, even when the
    // caller has no room for it.
    const uint32_t reads = stored > 0 ? stored : 1;
    uint8_t data[kMaxBlock];
    for (uint32_t i = 0; ok && i < reads; ++i) {
        ok = ExchangeOne(kRead, i + 1 < reads ? 0x01 : 0x00, 2, kReadDone);
        data[i] = ReroDadaResultChar(0);
    }
    ReroDada2ByteWrite(kStop, 0x00, 1);
    if (!ok) {
        ListFailed();
        return 0;
    }
    if (count) *count = countByte;
    if (stored > 0) memcpy(buffer, data, stored);
    CommDebugHexDump("BrimSMBusReadBlock databuf ", data, stored);
    return 1;
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}

RERODADA_API(uint32_t)
BrimSMBusReadBlock_native(uint8_t address, uint8_t command, uint8_t* count, uint8_t* buffer,
                          uint32_t bufferSize) try {
    EnsureInitialised();
    if (!NativeOffers(kNativeReadBlock))
        return BrimSMBusReadBlock_portable(address, command, count, buffer, bufferSize);
    ListingNotef("BrimSMBusReadBlock_native(addr=0x%2.2x, cmd=0x%2.2x, bufsize=0x%4.4x)", address,
                 command, bufferSize);
    const uint8_t frame[] = {kStart, kSubReadBlock, WriteAddress(address), command};
    // Count byte, data, status.
    uint8_t reply[1 + kMaxBlock + 1];
    uint32_t n = 0;
    if (!ReroDadaStringWrite(frame, sizeof frame, 1) || !CollectBlockReply(reply, 1, &n)) {
        if (count) *count = 0;
        ListFailed();
        return 0;
    }
    const uint32_t stored = n < bufferSize ? n : bufferSize;
    if (count) *count = reply[0];
    if (stored > 0) memcpy(buffer, reply + 1, stored);
    CommDebugHexDump("BrimSMBusReadBlock databuf ", reply + 1, stored);
    return 1;
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}

RERODADA_API(uint32_t)
BrimSMBusReadBlockPEC(uint8_t address, uint8_t command, uint8_t* count, uint8_t* buffer,
                      uint32_t bufferSize) try {
    EnsureInitialised();
    return bBrimSupportsNativeSMBusCommands
               ? BrimSMBusReadBlockPEC_native(address, command, count, buffer, bufferSize)
               : BrimSMBusReadBlockPEC_portable(address, command, count, buffer, bufferSize);
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}

RERODADA_API(uint32_t)
BrimSMBusReadBlockPEC_portable(uint8_t address, uint8_t command, uint8_t*, uint8_t*,
                               uint32_t bufferSize) try {
    EnsureInitialised();
    // Only the firmware's sub-command reads a block with PEC.
    ListingNotef("BrimSMBusReadBlockPEC_portable(addr=0x%2.2x, cmd=0x%2.2x, bufsize=0x%4.4x)",
                 address, command, bufferSize);
    ListFailed();
    return 0;
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}

RERODADA_API(uint32_t)
BrimSMBusReadBlockPEC_native(uint8_t address, uint8_t command, uint8_t* count, uint8_t* buffer,
                             uint32_t bufferSize) try {
    EnsureInitialised();
    if (!NativeOffers(kNativeReadBlockPec))
        return BrimSMBusReadBlockPEC_portable(address, command, count, buffer, bufferSize);
    ListingNotef("BrimSMBusReadBlockPEC_native(addr=0x%2.2x, cmd=0x%2.2x, bufsize=0x%4.4x)",
                 address, command, bufferSize);
    gPecAccumulator[0] = WriteAddress(address);
    gPecAccumulator[1] = command;
    gPecAccumulator[2] = ReadAddress(address);
    const uint8_t frame[] = {kStart, kSubReadBlockPec, WriteAddress(address), command};
    // Count byte, data, PEC, status.
    uint8_t reply[1 + kMaxBlock + 2];
    uint32_t n = 0;
    if (!ReroDadaStringWrite(frame, sizeof frame, 1) || !CollectBlockReply(reply, 2, &n)) {
        if (count) *count = 0;
        ListFailed();
        return 0;
    }
    gPecAccumulator[3] = reply[0];
    memcpy(gPecAccumulator + 4, reply + 1, n);
    const uint32_t stored = n < bufferSize ? n : bufferSize;
    if (count) *count = reply[0];
    if (stored > 0) memcpy(buffer, reply + 1, stored);
    const uint8_t received = reply[1 + n];
    const uint8_t computed = PEC_crc8(gPecAccumulator, n + 4, 0);
    if (received != computed) {
        ListingResultf("PEC FAILED: --- received_PEC 0x%2.2X != PEC_accumulator 0x%2.2X", received,
                       computed);
        return 0;
    }
    CommDebugHexDump("BrimSMBusReadBlockPEC databuf ", reply + 1, stored);
    return 1;
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}

RERODADA_API(uint32_t)
BrimI2CWriteAndReadBytes(uint8_t address, uint32_t writeCount, uint32_t readCount,
                         const uint8_t* writeData, uint8_t* readBuffer,
                         uint32_t* receivedCount) try {
    EnsureInitialised();
    return bBrimSupportsNativeSMBusCommands
               ? BrimI2CWriteAndReadBytes_native(address, writeCount, readCount, writeData,
                                                 readBuffer, receivedCount)
               : BrimI2CWriteAndReadBytes_portable(address, writeCount, readCount, writeData,
                                                   readBuffer, receivedCount);
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}

RERODADA_API(uint32_t)
BrimI2CWriteAndReadBytes_portable(uint8_t address, uint32_t writeCount, uint32_t readCount,
                                  const uint8_t* writeData, uint8_t* readBuffer,
                                  uint32_t* receivedCount) try {
    EnsureInitialised();
    ListingNotef("BrimI2CWriteAndReadBytes_portable(addr=0x%2.2x, I2C_nWrite=%d, "
                 "requested_data_count=%d)",
                 address, static_cast<int>(writeCount), static_cast<int>(readCount));
    uint32_t received = 0;
    if (receivedCount) *receivedCount = 0;
    if (writeCount > kMaxPortableTransfer || readCount > kMaxPortableTransfer) {
        ListFailed();
        return 0;
    }

    // Each command is its own exchange, checked before the next goes out.
    if (!ExchangeOne(kStart, kSubStart, 1, kStartDone)) {
        ListFailed();
        return 0;
    }
    auto write = [](uint8_t byte) { return ExchangeOne(kWrite, byte, 1, kWriteDone); };
    bool ok;
    if (writeCount > 0) {
        ok = write(WriteAddress(address));
        for (uint32_t i = 0; ok && i < writeCount; ++i)
            ok = write(writeData[i]);
        if (ok && readCount > 0)
            ok = ExchangeOne(kStart, kSubRestart, 1, kStartDone) && write(ReadAddress(address));
    } else {
        ok = write(readCount > 0 ? ReadAddress(address) : WriteAddress(address));
    }
    std::vector<uint8_t> data;
    if (ok && readCount > 0) data.reserve(readCount);
    for (uint32_t i = 0; ok && i < readCount; ++i) {
        ok = ExchangeOne(kRead, i + 1 < readCount ? 0x01 : 0x00, 2, kReadDone);
        if (ok) data.push_back(ReroDadaResultChar(0));
    }
    if (!ok) {
        ReroDada2ByteWrite(kStop, 0x00, 1);
        ListFailed();
        return 0;
    }
    if (!ExchangeOne(kStop, 0x00, 1, kStopDone)) {
        ListFailed();
        return 0;
    }
    received = static_cast<uint32_t>(data.size());
    if (received > 0) memcpy(readBuffer, data.data(), received);
    if (receivedCount) *receivedCount = received;
    ListingResultf("received %d bytes", static_cast<int>(received));
    return 1;
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}

RERODADA_API(uint32_t)
BrimI2CWriteAndReadBytes_native(uint8_t address, uint32_t writeCount, uint32_t readCount,
                                const uint8_t* writeData, uint8_t* readBuffer,
                                uint32_t* receivedCount) try {
    EnsureInitialised();
    ListingNotef("BrimI2CWriteAndReadBytes_native(addr=0x%2.2x, I2C_nWrite=%d, "
                 "requested_data_count=%d)",
                 address, static_cast<int>(writeCount), static_cast<int>(readCount));
    if (receivedCount) *receivedCount = 0;
    // Counts that do not fit the frame's count bytes take the portable form,
    // which has no such limit.
    if (writeCount > kMaxNativeCount || readCount > kMaxNativeCount)
        return BrimI2CWriteAndReadBytes_portable(address, writeCount, readCount, writeData,
                                                 readBuffer, receivedCount);
    if (!NativeWriteRead(address, writeData, writeCount, readCount)) {
        ListFailed();
        return 0;
    }
    for (uint32_t i = 0; i < readCount; ++i)
        readBuffer[i] = ReroDadaResultChar(i);
    if (receivedCount) *receivedCount = readCount;
    ListingResultf("received %d bytes", static_cast<int>(readCount));
    return 1;
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}

RERODADA_API(uint32_t)
BrimPMBusGroupCommand(uint8_t deviceCount, const uint8_t* addresses, const uint8_t* writeCounts,
                      const uint8_t* hasPEC, const uint8_t* const* writeData) try {
    EnsureInitialised();
    ListingNotef("BrimPMBusGroupCommand(num_devices=%d, ...)", deviceCount);
    if (!bBrimSupportsNativeSMBusCommands) {
        ListingResult("FAILED: BrimPMBusGroupCommand requires newer firmware ");
        return 0;
    }
    if (!NativeOffers(kNativeWriteReadStop)) {
        ListingResult("FAILED: BrimPMBusGroupCommand requires firmware command 0xA0 0x05 "
                      "BRIM_i2cStart_WriteReadStop ");
        return 0;
    }
    if (!NativeOffers(kNativeWriteReadNoStop)) {
        ListingResult("FAILED: BrimPMBusGroupCommand requires firmware command 0xA0 0x09 "
                      "BRIM_i2cStart_PMBusWriteReadNoStop ");
        return 0;
    }
    if (deviceCount == 0) {
        ListFailed();
        return 0;
    }
    // A frame's write count is one byte, so 255 data bytes leave no room for
    // a PEC; nothing is sent unless every frame can be built.
    uint32_t total = 0;
    for (uint32_t i = 0; i < deviceCount; ++i) {
        const uint32_t length = writeCounts[i] + 5u + (hasPEC[i] ? 1u : 0u);
        if (length > kGroupFrame) {
            ListFailed();
            return 0;
        }
        total += length;
    }

    const bool oneString = total <= kGroupString;
    uint8_t single[kGroupFrame];
    uint32_t used = 0;
    bool ok = true;
    for (uint32_t i = 0; i < deviceCount; ++i) {
        const bool pec = hasPEC[i] != 0;
        ListingNotef("deviceIndex=%d: address=0x%2.2x, num_write_bytes=%d, has_PEC=%d...",
                     static_cast<int>(i), addresses[i], writeCounts[i], pec);
        uint8_t* frame = oneString ? gGroupFrames + used : single;
        uint32_t n = 0;
        frame[n++] = kStart;
        frame[n++] = i + 1 < deviceCount ? kSubWriteReadNoStop : kSubWriteReadStop;
        frame[n++] = static_cast<uint8_t>(writeCounts[i] + (pec ? 1 : 0));
        frame[n++] = 0x00;
        frame[n++] = WriteAddress(addresses[i]);
        uint8_t crc = PEC_crc8(&addresses[i], 1, 0);
        for (uint32_t k = 0; k < writeCounts[i]; ++k) {
            const uint8_t byte = writeData[i][k];
            ListingResultf("   write_data[%d][%d] = 0x%2.2x", static_cast<int>(i),
                           static_cast<int>(k), byte);
            frame[n++] = byte;
            crc = PEC_crc8(&byte, 1, crc);
        }
        if (pec) {
            ListingResultf("   PEC_checksum = 0x%2.2x", crc);
            frame[n++] = crc;
        }
        if (oneString) {
            used += n;
        } else if (!ExchangeExact(frame, n, 1, kStartDone)) {
            // The other devices still get their commands.
            ListingResultf("device %d failed; continuing...", static_cast<int>(i));
            ok = false;
        }
    }
    if (oneString) {
        ok = ReroDadaStringWrite(gGroupFrames, used, deviceCount) &&
             ReroDadaResultCharCount() == deviceCount;
        for (uint32_t i = 0; ok && i < deviceCount; ++i)
            ok = ReroDadaResultChar(i) == kStartDone;
    }
    ListingResultf("%s: BrimPMBusGroupCommand(num_devices=%d, ...)", ok ? "SUCCESS" : "FAIL",
                   deviceCount);
    return ok ? 1 : 0;
} catch (...) {
    return ExceptionResult<uint32_t>(__func__);
}
