#include "Connection.h"

#include "Library.h"
#include "Logs.h"
#include "platform/Tick.h"

#include <cstdio>
#include <cstring>

namespace rerodada {

using platform::TickCount;

uint32_t gnRESET_HOLD_msec = 100;
uint32_t gnRESET_SETTLE_msec = 50;
uint32_t gnREAD_IDLE_TIMEOUT_msec = 200;
uint32_t gnGROSS_READSTRING_TIMEOUT_msec = 500;
bool gAutoBaudFlag = true;
uint32_t gnBaudRate = 19200;
char szRequiredBannerPrefix[32] = "Kelvo";

Null_Connection& TheNullConnection() {
    static Null_Connection instance;
    return instance;
}

Connection* Active_Connection = &TheNullConnection();

namespace {

// Waits until ms have passed since start, measured on the tick counter. Each
// sleep is for the whole time left: a clock whose sleeps end early is
// slept on again for what is still missing.
void WaitSince(uint32_t start, uint32_t ms) {
    uint32_t elapsed;
    while ((elapsed = TickCount() - start) < ms)
        platform::SleepMilliseconds(ms - elapsed);
}

// A NUL that some firmware sends before its banner is dropped.
void RepairLeadingNul(char* banner) {
    if (banner[0] == 0 && banner[1] != 0) memmove(banner, banner + 1, kBannerSize - 1);
}

} // namespace

const char* ConnectionTypeName(uint32_t type) {
    switch (type) {
    case ct_None:
        return "ct_None";
    case ct_BRIM232:
        return "ct_BRIM232";
    case ct_BRIMUSB:
        return "ct_BRIMUSB";
    case ct_ZXSMBUS:
        return "ct_ZXSMBUS";
    default:
        return "ct_???";
    }
}

Connection::Connection(ConnectionType t) : type(t) {
    szPortName[0] = 0;
    szFirmwareBanner[0] = 0;
    szFirmwareBanner[1] = 0;
    szResult[0] = 0;
}

Connection::~Connection() = default;

bool Connection::IsConnected() {
    return connected;
}

bool Connection::Reset() {
    return DoReset(false);
}

bool Connection::Reset_Send_CR() {
    return DoReset(true);
}

bool Connection::DoReset(bool sendCR) {
    uint32_t start = TickCount();
    Hold_Reset();
    WaitSince(start, gnRESET_HOLD_msec);
    Release_Reset();
    WaitSince(TickCount(), gnRESET_SETTLE_msec);
    if (sendCR) {
        static const uint8_t cr = 0x0D;
        if (!Write(&cr, 1, 0)) {
            RERODADA_TRACE("Reset_Send_CR Write failed.");
            return false;
        }
        WaitSince(TickCount(), gnRESET_SETTLE_msec);
    }
    if (!Read(4)) {
        RERODADA_TRACE("unable to read firmware banner");
        return false;
    }
    CaptureBanner();
    return true;
}

void Connection::CaptureBanner() {
    if (nResultCount == 0) {
        szFirmwareBanner[0] = 0;
        RERODADA_TRACE("no firmware banner.");
        return;
    }
    memcpy(szFirmwareBanner, szResult, kBannerSize);
    szFirmwareBanner[kBannerSize - 1] = 0;
    if (nResultCount < static_cast<uint32_t>(kBannerSize)) szFirmwareBanner[nResultCount] = 0;
    if (szFirmwareBanner[0] == 0 && szFirmwareBanner[1] == 0)
        RERODADA_TRACE("Two nulls in a row; false alarm.");
    RepairLeadingNul(szFirmwareBanner);
}

bool Connection::Valid_Firmware_Banner() {
    RepairLeadingNul(szFirmwareBanner);
    size_t length = strlen(szRequiredBannerPrefix);
    if (length == 0) return true;
    if (memcmp(szFirmwareBanner, szRequiredBannerPrefix, length) == 0) {
        connected = true;
        return true;
    }
    // Noise before the banner: find the prefix further in and move it to the front.
    for (uint32_t k = 1; k < nResultCount && k < static_cast<uint32_t>(kBannerSize); ++k) {
        if (k + length > static_cast<size_t>(kBannerSize)) break;
        if (memcmp(szFirmwareBanner + k, szRequiredBannerPrefix, length) == 0) {
            memmove(szFirmwareBanner, szFirmwareBanner + k, kBannerSize - k);
            connected = true;
            return true;
        }
    }
    return false;
}

bool Connection::ReadReply(uint32_t minCount, Poller& poller, bool idleAfterBytesOnly,
                           const char* idleText, const char* grossText,
                           const char* grossEmptyText) {
    szResult[0] = 0;
    nResultCount = 0;
    uint32_t room = kResultRoom;
    uint32_t start = TickCount();
    uint32_t last = start;
    while (nResultCount < minCount) {
        long n = poller.Poll(szResult + nResultCount, room);
        if (n < 0) return false;
        uint32_t now = TickCount();
        if (n > 0) {
            nResultCount += static_cast<uint32_t>(n);
            room -= static_cast<uint32_t>(n);
            last = now;
        }
        bool idleTested = !idleAfterBytesOnly || n > 0;
        if (idleTested && nResultCount > 0 && now - last > gnREAD_IDLE_TIMEOUT_msec) {
            RERODADA_TRACE("%s", idleText);
            break;
        }
        if (now - start > gnGROSS_READSTRING_TIMEOUT_msec) {
            RERODADA_TRACE("%s", n > 0 || !idleAfterBytesOnly ? grossText : grossEmptyText);
            break;
        }
        if (n == 0 || room == 0) {
            // Sleep until bytes come or the next time-out is due.
            uint32_t due = start + gnGROSS_READSTRING_TIMEOUT_msec + 1 - now;
            if (!idleAfterBytesOnly && nResultCount > 0) {
                uint32_t idleDue = last + gnREAD_IDLE_TIMEOUT_msec + 1 - now;
                if (idleDue < due) due = idleDue;
            }
            if (room == 0)
                platform::SleepMilliseconds(due);
            else
                poller.Wait(due, minCount - nResultCount);
        }
    }
    CommDebugHexDump("Read", szResult, nResultCount);
    return true;
}

void Connection::DrainWith(Poller& poller) {
    nResultCount = 0;
    long n;
    while (nResultCount < kResultRoom &&
           (n = poller.Poll(szResult + nResultCount, kResultRoom - nResultCount)) > 0)
        nResultCount += static_cast<uint32_t>(n);
    CommDebugHexDump("Drain", szResult, nResultCount);
}

bool Connection::FindBoard(bool sendCR, const uint32_t* bauds, int baudCount, SetBaudFn setBaud,
                           const FixedBaudRetry& retry, bool announceRates) {
    auto succeed = [this] {
        connected = true;
        RERODADA_TRACE("connected = true, success. bResetOnDTRhigh = %d", bResetOnDTRhigh);
        return true;
    };
    auto fail = [this] {
        Close();
        return false;
    };

    if (gAutoBaudFlag) {
        for (int i = 0; i < baudCount; ++i) {
            if (SearchStopped()) return fail();
            if (!setBaud(this, bauds[i])) {
                RERODADA_TRACE("SetBaudRate() failed");
                continue;
            }
            if (announceRates) {
                SearchSay("\nTrying port %s @ %u baud \n", szPortName, bauds[i]);
            }
            if (!DoReset(sendCR)) continue;
            if (Valid_Firmware_Banner()) return succeed();
            bResetOnDTRhigh = !bResetOnDTRhigh;
            if (!DoReset(sendCR)) {
                bResetOnDTRhigh = !bResetOnDTRhigh;
                continue;
            }
            if (Valid_Firmware_Banner()) return succeed();
            bResetOnDTRhigh = !bResetOnDTRhigh;
        }
        return fail();
    }

    FirstFailure first;
    if (!setBaud(this, gnBaudRate)) {
        first = FirstFailure::BaudRate;
        if (!retry.onBaudRateFailure) return fail();
    } else if (!DoReset(sendCR)) {
        first = FirstFailure::Reset;
        if (!retry.onResetFailure) return fail();
    } else if (Valid_Firmware_Banner()) {
        return succeed();
    } else {
        first = FirstFailure::Banner;
        if (!retry.onBannerFailure) return fail();
    }

    bResetOnDTRhigh = !bResetOnDTRhigh;
    if (!DoReset(sendCR)) {
        if (!retry.keepPolarityAfterResetFailure[static_cast<int>(first)])
            bResetOnDTRhigh = !bResetOnDTRhigh;
        return fail();
    }
    if (Valid_Firmware_Banner()) return succeed();
    bResetOnDTRhigh = !bResetOnDTRhigh;
    return fail();
}

bool Null_Connection::Try_Open_Port(int p) {
    port = p;
    return false;
}

bool Null_Connection::Try_Open_Port_Send_CR(int p) {
    port = p;
    return false;
}

} // namespace rerodada
