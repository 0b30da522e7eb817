#include "MemoryDevice.h"

namespace podsim {

bool MemoryDevice::addressed(bool read) {
    expectPointer_ = !read;
    return true;
}

bool MemoryDevice::write(uint8_t byte) {
    if (expectPointer_) {
        pointer_ = byte;
        expectPointer_ = false;
    } else {
        mem_[pointer_++] = byte;
    }
    return true;
}

uint8_t MemoryDevice::read() {
    return mem_[pointer_++];
}

} // namespace podsim
