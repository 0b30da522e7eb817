// SMBus packet error code: CRC-8, polynomial x^8 + x^2 + x + 1, MSB first,
// no reflection, no final XOR; crc carries a running value across pieces.
#pragma once

#include <cstddef>
#include <cstdint>

namespace podsim {

uint8_t pecUpdate(uint8_t crc, uint8_t byte);
uint8_t pec(const uint8_t* data, size_t n, uint8_t crc = 0);

} // namespace podsim
