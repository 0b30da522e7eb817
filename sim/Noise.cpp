#include "Noise.h"

namespace podsim {

bool NoiseSource::allowed(uint8_t b) {
    return b != 'K' && !(b >= 0xB0 && b <= 0xBF) && b != 0xD2 && b != 0xFA;
}

uint8_t NoiseSource::next() {
    for (;;) {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        uint8_t b = static_cast<uint8_t>(state_ >> 24);
        if (allowed(b)) return b;
    }
}

std::vector<uint8_t> NoiseSource::bytes(size_t n) {
    std::vector<uint8_t> out(n);
    for (auto& b : out)
        b = next();
    return out;
}

} // namespace podsim
