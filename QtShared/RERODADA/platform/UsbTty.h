// USB serial devices of the interface board's chip that the operating
// system's own driver offers as serial ports (on Linux, the kernel's FTDI
// driver and its /dev/ttyUSBn), for the USB transport when the vendor's
// library is missing.
#ifndef RERODADA_PLATFORM_USBTTY_H
#define RERODADA_PLATFORM_USBTTY_H

#include "platform/SerialPort.h"

#include <cstdint>
#include <string>
#include <vector>

namespace rerodada::platform {

struct UsbTtyInfo {
    std::string path;
    std::string serialNumber;
    std::string description;
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    // Where the driver's latency timer is set; empty when there is none.
    std::string latencyAttribute;
};

// The devices below a sysfs root ("/sys" on a running system), in the
// order of their serial numbers.
std::vector<UsbTtyInfo> UsbTtyList(const std::string& sysfsRoot);

// The devices of this machine. RERODADA_USB_TTYS, when set, replaces the
// listing with its colon-separated entries "path[=serial[=description]]"
// (empty: none); entries whose path does not exist are left out.
std::vector<UsbTtyInfo> UsbTtyListPorts();

enum class UsbTtyLatency { Timer, LowLatencyMode, Failed };

// Sets the driver's latency timer; when it cannot be written, asks the
// driver for its low-latency mode instead.
UsbTtyLatency UsbTtySetLatency(const UsbTtyInfo& device, SerialHandle handle, uint8_t ms);

} // namespace rerodada::platform

#endif
