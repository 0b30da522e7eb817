// Arbitrary reply bytes for every transaction type of the board-link
// library. The input picks a transaction and its arguments, then the
// replies the simulated board gives to the host's writes, in turn.
#include "Connection.h"
#include "SimulatedLink.h"
#include "rerodada.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <memory>
#include <vector>

namespace {

constexpr size_t kMaxReplies = 8;
constexpr size_t kMaxReplyBytes = 600;
constexpr uint32_t kMaxCount = 300;

// A buffer of exactly n bytes, so that the sanitizer sees any overrun.
struct Buffer {
    explicit Buffer(size_t n) : bytes(new uint8_t[n]()), size(n) {}
    std::unique_ptr<uint8_t[]> bytes;
    size_t size;
    uint8_t* get() { return bytes.get(); }
};

Buffer filled(size_t n) {
    Buffer b(n);
    for (size_t i = 0; i < n; ++i)
        b.get()[i] = static_cast<uint8_t>(i * 7 + 1);
    return b;
}

void transaction(FuzzedDataProvider& in, int op, bool native) {
    const uint8_t address = in.ConsumeIntegral<uint8_t>();
    const uint8_t command = in.ConsumeIntegral<uint8_t>();
    const uint16_t word = in.ConsumeIntegral<uint16_t>();
    const uint32_t count = in.ConsumeIntegralInRange<uint32_t>(0, kMaxCount);
    const uint32_t count2 = in.ConsumeIntegralInRange<uint32_t>(0, kMaxCount);
    uint8_t byte = 0;
    uint16_t value = 0;
    switch (op) {
    case 0:
        native ? BrimSMBusQuick_native(address) : BrimSMBusQuick_portable(address);
        break;
    case 1:
        native ? BrimSMBusSendByte_native(address, command)
               : BrimSMBusSendByte_portable(address, command);
        break;
    case 2:
        native ? BrimSMBusReceiveByte_native(address, &byte)
               : BrimSMBusReceiveByte_portable(address, &byte);
        break;
    case 3:
        native ? BrimSMBusWriteByte_native(address, command, uint8_t(word))
               : BrimSMBusWriteByte_portable(address, command, uint8_t(word));
        break;
    case 4:
        native ? BrimSMBusWriteWord_native(address, command, word)
               : BrimSMBusWriteWord_portable(address, command, word);
        break;
    case 5:
        native ? BrimSMBusReadByte_native(address, command, &byte)
               : BrimSMBusReadByte_portable(address, command, &byte);
        break;
    case 6:
        native ? BrimSMBusReadWord_native(address, command, &value)
               : BrimSMBusReadWord_portable(address, command, &value);
        break;
    case 7:
        native ? BrimSMBusProcessCall_native(address, command, word, &value)
               : BrimSMBusProcessCall_portable(address, command, word, &value);
        break;
    case 8: {
        // In the native frame a count of 0 stands for 256 data bytes.
        Buffer data = filled(count == 0 ? 256 : count);
        native ? BrimSMBusWriteBlock_native(address, command, count, data.get())
               : BrimSMBusWriteBlock_portable(address, command, count, data.get());
        break;
    }
    case 9: {
        Buffer data(count);
        native ? BrimSMBusReadBlock_native(address, command, &byte, data.get(), count)
               : BrimSMBusReadBlock_portable(address, command, &byte, data.get(), count);
        break;
    }
    case 10: {
        Buffer data(count);
        native ? BrimSMBusReadBlockPEC_native(address, command, &byte, data.get(), count)
               : BrimSMBusReadBlockPEC_portable(address, command, &byte, data.get(), count);
        break;
    }
    case 11: {
        Buffer out = filled(count);
        Buffer back(count2);
        uint32_t received = 0;
        native ? BrimI2CWriteAndReadBytes_native(address, count, count2, out.get(), back.get(),
                                                 &received)
               : BrimI2CWriteAndReadBytes_portable(address, count, count2, out.get(), back.get(),
                                                   &received);
        if (received > count2) std::abort();
        break;
    }
    case 12: {
        const uint8_t devices = uint8_t(count % 5);
        uint8_t addresses[4], counts[4], pec[4];
        Buffer data[4] = {filled(255), filled(255), filled(255), filled(255)};
        const uint8_t* rows[4];
        for (int i = 0; i < 4; ++i) {
            addresses[i] = uint8_t(address + 2 * i);
            counts[i] = uint8_t((command >> i) * 3);
            pec[i] = (word >> i) & 1;
            rows[i] = data[i].get();
        }
        BrimPMBusGroupCommand(devices, addresses, counts, pec, rows);
        break;
    }
    case 13: {
        Buffer mosi = filled(count);
        Buffer miso(count);
        native ? BrimSpiTransfer_native(count, mosi.get(), miso.get())
               : BrimSpiTransfer_portable(count, mosi.get(), miso.get());
        break;
    }
    case 14:
        BrimSpiByte(word);
        break;
    case 15:
        BrimI2CSetSpeed(command);
        break;
    case 16:
        BrimSPISetSpeed(command);
        break;
    case 17:
        BrimSpiConfigSCKSpeedKhz(int32_t(word) - 100);
        break;
    case 18:
        BrimI2CClockStretchDisable(command & 1);
        break;
    case 19:
        BRIMI2C_timing_Adjust_Get(command, &byte);
        break;
    case 20:
        BRIMI2C_timing_Adjust_Set(command, address);
        break;
    case 21:
        BrimBoardConfirmFirmwareVersion(address, command, uint8_t(word));
        break;
    case 22:
        BrimSupportsNativeSMBusCommands();
        break;
    case 23:
        BrimSMBusAlertResponse(&byte);
        break;
    case 24:
        BrimSMBusWriteToHost(command, word);
        break;
    case 25:
        BrimPinWrite(command % 16, word & 1);
        BrimPinRead(address % 16);
        break;
    case 26:
        BrimP8BusConfigure(command);
        BrimP8BusWrite(address, uint8_t(word));
        BrimP8BusRead(address);
        break;
    case 27:
        BrimSpiConfigCpolCpha(command & 1, (command >> 1) & 1);
        BrimSpiConfigMSBFirst(command & 4);
        native ? BrimSpiCsAssert() : BrimSpiCsNegate();
        break;
    case 28:
        BrimScriptExecEx(address, command, uint8_t(word));
        break;
    default:
        BrimSMBusReadByte(address, command, &byte);
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::useSimulatedLink();
    if (!BrimBoardConnect()) std::abort();
    // The board answers at once, so a short reply stays short; the time-outs
    // only set how many polls find that out, and short ones keep inputs fast.
    rerodada::gnREAD_IDLE_TIMEOUT_msec = 2;
    rerodada::gnGROSS_READSTRING_TIMEOUT_msec = 5;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    podsim::Board* board = fuzz::simulatedBoard();
    fuzz::virtualClock().startInput();
    board->clearScriptedReplies();
    if (!BrimBoardConnected() && !BrimBoardConnect()) std::abort();
    board->purgeHostReceive();
    board->clearTraffic();

    FuzzedDataProvider in(data, size);
    const int op = in.ConsumeIntegralInRange(0, 29);
    const bool native = in.ConsumeBool();
    // Arguments come first, so that the replies are the tail of the input.
    std::vector<uint8_t> head = in.ConsumeBytes<uint8_t>(12);
    std::vector<std::vector<uint8_t>> replies;
    while (in.remaining_bytes() > 0 && replies.size() < kMaxReplies)
        replies.push_back(
            in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<size_t>(0, kMaxReplyBytes)));
    board->setScriptedReplies(std::move(replies));

    FuzzedDataProvider argIn(head.data(), head.size());
    transaction(argIn, op, native);
    return 0;
}
