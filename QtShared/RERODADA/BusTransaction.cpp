#include "BusTransaction.h"

#include "Logs.h"
#include "rerodada.h"

#include <cstdio>
#include <cstring>

namespace rerodada {

bool ExchangeExact(const uint8_t* bytes, uint32_t count, uint32_t expected, uint8_t last) {
    return ReroDadaStringWrite(bytes, count, static_cast<int>(expected)) &&
           ReroDadaResultCharCount() == expected && expected > 0 &&
           ReroDadaResultChar(expected - 1) == last;
}

void ListFailed() {
    ListingResult("FAILED");
}

PortableI2C& PortableI2C::Add(uint8_t command, uint8_t argument, uint8_t done) {
    sent_[sentCount_++] = command;
    sent_[sentCount_++] = argument;
    reply_[replyCount_] = done;
    dataPlace_[replyCount_++] = false;
    return *this;
}

PortableI2C& PortableI2C::Read(bool acknowledge) {
    reply_[replyCount_] = 0;
    dataPlace_[replyCount_++] = true;
    return Add(kRead, acknowledge ? 0x01 : 0x00, kReadDone);
}

bool PortableI2C::Run() {
    if (!ReroDadaStringWrite(sent_, sentCount_, static_cast<int>(replyCount_)) ||
        ReroDadaResultCharCount() != replyCount_)
        return false;
    uint32_t read = 0;
    for (uint32_t i = 0; i < replyCount_; ++i) {
        uint8_t byte = ReroDadaResultChar(i);
        if (dataPlace_[i])
            data_[read++] = byte;
        else if (byte != reply_[i])
            return false;
    }
    return true;
}

bool NativeWriteRead(uint8_t address, const uint8_t* data, uint32_t writeCount,
                     uint32_t readCount) {
    uint8_t frame[5 + 255];
    frame[0] = kStart;
    frame[1] = kSubWriteReadStop;
    frame[2] = static_cast<uint8_t>(writeCount);
    frame[3] = static_cast<uint8_t>(readCount);
    frame[4] = WriteAddress(address);
    if (writeCount > 0) memcpy(frame + 5, data, writeCount);
    return ExchangeExact(frame, writeCount + 5, readCount + 1, kStartDone);
}

void ListTransferBytes(const char* name, const char* what, uint32_t count, const uint8_t* bytes) {
    if (!ListingActive()) return;
    char text[128];
    int used =
        snprintf(text, sizeof text, "%.40s(%d bytes %s: ", name, static_cast<int>(count), what);
    for (uint32_t i = 0; i < count && i < 10; ++i)
        used += snprintf(text + used, sizeof text - used, "0x%2.2x ", bytes[i]);
    snprintf(text + used, sizeof text - used, ")");
    ListingNote(text);
}

} // namespace rerodada
