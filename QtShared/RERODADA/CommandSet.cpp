// The capability probe: which native bus commands the board's firmware offers.
#include "rerodada.h"

#include "Connection.h"
#include "Library.h"
#include "Logs.h"

namespace rerodada {

uint16_t nBrimNativeSMBusCommandsBitmask = 0;
bool bBrimSupportsNativeSMBusCommands = false;
int32_t gSPI_AutoCS = 0;

namespace {

// Sub-commands 0xA0 0x03 to 0xA0 0x0F, by their bit in the bitmask.
const char* const kNativeCommandNames[16] = {
    nullptr,
    nullptr,
    nullptr,
    "supports 0xA0 0x03 BRIM_i2cStart_SMBusQuick",
    "supports 0xA0 0x04 BRIM_i2cStart_option",
    "supports 0xA0 0x05 BRIM_i2cStart_WriteReadStop",
    "supports 0xA0 0x06 BRIM_i2cStart_SMBusWriteBlock",
    "supports 0xA0 0x07 BRIM_i2cStart_SMBusReadBlock",
    "supports 0xA0 0x08 BRIM_i2cStart_SMBusReadBlockPEC",
    "supports 0xA0 0x09 BRIM_i2cStart_PMBusWriteReadNoStop",
    "supports 0xA0 0x0A BRIM_i2cStart_SpiMosiMiso",
    "supports 0xA0 0x0B BRIM_i2cStart_SpiMosiOnly",
    "supports 0xA0 0x0C BRIM_i2cStart_SpiMosiMisoCs",
    "supports 0xA0 0x0D BRIM_i2cStart_NVMEM",
    "supports 0xA0 0x0E BRIM_i2cStart_reserved_0E",
    "supports 0xA0 0x0F BRIM_i2cStart_reserved_0F",
};

constexpr uint16_t kNativeSpiBit = 0x0400;

} // namespace
} // namespace rerodada

using namespace rerodada;

RERODADA_API(int) BrimSupportsNativeSMBusCommands(void) try {
    EnsureInitialised();
    ListingNote("BrimSupportsNativeSMBusCommands()");
    if (BrimBoardConnected() != 1) return 0;

    // Stale reply bytes must not be taken for the answer to the query; only
    // what is already waiting is drained, so an empty buffer costs nothing.
    ListingNote("BrimSupportsNativeSMBusCommands: purge comms buffer");
    Active_Connection->Drain();
    if (ListingActive())
        CommListingLine(CommTimestamp().c_str(), "< ", Active_Connection->ResultCharCount(),
                        Active_Connection->ResultBuffer(), "; success");

    static const uint8_t query[] = {0xA0, 0x02};
    // The whole answer is waited for: on a slow line its bytes come one by
    // one, and a read that stopped at the first would leave two behind for
    // the next transaction. Older firmware answers one byte; its read ends
    // by the idle time-out.
    if (!ReroDadaStringWrite(query, 2, 3)) return 0;

    if (ReroDadaResultCharCount() == 3 && ReroDadaResultChar(2) == 0xB0) {
        nBrimNativeSMBusCommandsBitmask =
            static_cast<uint16_t>(ReroDadaResultChar(0) + 256 * ReroDadaResultChar(1));
        bBrimSupportsNativeSMBusCommands = (nBrimNativeSMBusCommandsBitmask & 0x0003) != 0;
        if (nBrimNativeSMBusCommandsBitmask & kNativeSpiBit) gSPI_AutoCS = 256;
    } else {
        // Older firmware answers the query differently: portable only.
        nBrimNativeSMBusCommandsBitmask = 0x0003;
        bBrimSupportsNativeSMBusCommands = false;
    }

    ListingNotef("nBrimNativeSMBusCommandsBitmask=0x%4.4x", nBrimNativeSMBusCommandsBitmask);
    for (int bit = 3; bit < 16; ++bit)
        if (nBrimNativeSMBusCommandsBitmask & (1u << bit)) ListingNote(kNativeCommandNames[bit]);
    ListingNotef("bBrimSupportsNativeSMBusCommands=%d", bBrimSupportsNativeSMBusCommands);
    return bBrimSupportsNativeSMBusCommands ? 1 : 0;
} catch (...) {
    return ExceptionResult<int>(__func__);
}
