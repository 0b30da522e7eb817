// On Windows the board's chip is reached through FTDI's D2XX driver itself;
// its virtual COM ports, where installed, are found by the serial search.
// So no port is the operating system's own USB tty here.
#include "platform/UsbTty.h"

namespace rerodada::platform {

std::vector<UsbTtyInfo> UsbTtyList(const std::string&) {
    return {};
}

std::vector<UsbTtyInfo> UsbTtyListPorts() {
    return {};
}

UsbTtyLatency UsbTtySetLatency(const UsbTtyInfo&, SerialHandle, uint8_t) {
    return UsbTtyLatency::Failed;
}

} // namespace rerodada::platform
