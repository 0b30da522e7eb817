#include "Pec.h"

namespace podsim {

uint8_t pecUpdate(uint8_t crc, uint8_t byte) {
    crc ^= byte;
    for (int i = 0; i < 8; ++i) {
        crc = static_cast<uint8_t>((crc & 0x80) ? (crc << 1) ^ 0x07 : crc << 1);
    }
    return crc;
}

uint8_t pec(const uint8_t* data, size_t n, uint8_t crc) {
    for (size_t i = 0; i < n; ++i)
        crc = pecUpdate(crc, data[i]);
    return crc;
}

} // namespace podsim
