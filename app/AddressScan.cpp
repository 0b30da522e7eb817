#include "AddressScan.h"

int scanBus(const QuickProbe& quick, uint8_t* out) {
    int count = 0;
    for (int address = 2; address <= 254; address += 2) {
        const uint8_t addr = static_cast<uint8_t>(address);
        for (int round = 0; round < kScanProbeRounds; ++round) {
            if (!quick(addr)) break;
            if (quick(addr)) {
                out[count++] = addr;
                break;
            }
            // The lowest address is never probed again.
            if (addr == 2) break;
        }
    }
    return count;
}
