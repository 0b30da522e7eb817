// The reset reply as the board sends it, through banner capture and
// validation. The first byte, when below 8, is the length of a required
// prefix taken from the following bytes; otherwise the prefix is "Kelvo".
#include "Connection.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

class BannerConnection : public rerodada::Connection {
  public:
    BannerConnection() : Connection(rerodada::ct_BRIMUSB) {}

    bool Check(const uint8_t* data, size_t size) {
        nResultCount = static_cast<uint32_t>(std::min<size_t>(size, rerodada::kResultRoom));
        std::memcpy(szResult, data, nResultCount);
        szResult[nResultCount] = 0;
        CaptureBanner();
        const bool valid = Valid_Firmware_Banner();
        // The banner is always a terminated string inside its buffer.
        if (!std::memchr(szFirmwareBanner, 0, sizeof szFirmwareBanner)) std::abort();
        return valid;
    }

    bool Try_Open_Port(int) override { return false; }
    bool Try_Open_Port_Send_CR(int) override { return false; }
    void Close() override {}
    void CommRTS(bool) override {}
    bool CommCTS() override { return false; }
    bool CommDSR() override { return false; }
    bool CommDCD() override { return false; }
    bool CommRI() override { return false; }
    bool Hold_Reset() override { return false; }
    bool Release_Reset() override { return false; }
    bool Write(const uint8_t*, uint32_t, uint32_t) override { return false; }
    bool WriteFramedByRTS(const uint8_t*, uint32_t, uint32_t, bool) override { return false; }
    bool Read(uint32_t) override { return false; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    char prefix[sizeof rerodada::szRequiredBannerPrefix] = "Kelvo";
    if (size > 0 && data[0] < 8) {
        const size_t n = std::min<size_t>(data[0], size - 1);
        std::memset(prefix, 0, sizeof prefix);
        std::memcpy(prefix, data + 1, n);
        data += 1 + n;
        size -= 1 + n;
    }
    std::memcpy(rerodada::szRequiredBannerPrefix, prefix, sizeof prefix);
    BannerConnection connection;
    const bool valid = connection.Check(data, size);
    // A valid banner begins with the required prefix.
    if (valid && std::strncmp(connection.GetBanner(), prefix, std::strlen(prefix)) != 0)
        std::abort();
    return 0;
}
