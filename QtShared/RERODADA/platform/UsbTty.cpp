#include "platform/UsbTty.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace rerodada::platform {
namespace {

constexpr char kFtdiDriver[] = "ftdi_sio";

std::string ReadLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

std::string Resolved(const std::string& path) {
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) ? resolved : "";
}

std::string BaseName(const std::string& path) {
    return path.substr(path.rfind('/') + 1);
}

uint16_t Hex(const std::string& text) {
    return static_cast<uint16_t>(std::strtoul(text.c_str(), nullptr, 16));
}

// A tty of the FTDI driver, described by the USB device it hangs off.
bool Describe(const std::string& sysfsRoot, const std::string& ttyName, UsbTtyInfo* info) {
    const std::string port = Resolved(sysfsRoot + "/class/tty/" + ttyName + "/device");
    if (port.empty() || BaseName(Resolved(port + "/driver")) != kFtdiDriver) return false;
    std::string dir = port;
    while (dir.size() > 1 && access((dir + "/idVendor").c_str(), F_OK) != 0)
        dir = dir.substr(0, dir.rfind('/'));
    if (dir.size() <= 1) return false;
    info->path = "/dev/" + ttyName;
    info->serialNumber = ReadLine(dir + "/serial");
    info->description = ReadLine(dir + "/product");
    info->vendorId = Hex(ReadLine(dir + "/idVendor"));
    info->productId = Hex(ReadLine(dir + "/idProduct"));
    if (access((port + "/latency_timer").c_str(), F_OK) == 0)
        info->latencyAttribute = port + "/latency_timer";
    return true;
}

} // namespace

std::vector<UsbTtyInfo> UsbTtyList(const std::string& sysfsRoot) {
    std::vector<UsbTtyInfo> devices;
    DIR* dir = opendir((sysfsRoot + "/class/tty").c_str());
    if (!dir) return devices;
    while (dirent* entry = readdir(dir)) {
        UsbTtyInfo info;
        if (entry->d_name[0] != '.' && Describe(sysfsRoot, entry->d_name, &info))
            devices.push_back(info);
    }
    closedir(dir);
    std::sort(devices.begin(), devices.end(), [](const UsbTtyInfo& a, const UsbTtyInfo& b) {
        return a.serialNumber != b.serialNumber ? a.serialNumber < b.serialNumber : a.path < b.path;
    });
    return devices;
}

std::vector<UsbTtyInfo> UsbTtyListPorts() {
    const char* list = std::getenv("RERODADA_USB_TTYS");
    if (!list) return UsbTtyList("/sys");
    std::vector<UsbTtyInfo> devices;
    for (const std::string& entry : SplitList(list, ':')) {
        std::vector<std::string> fields = SplitList(entry, '=');
        // A device that is gone is not listed, as in sysfs.
        if (fields[0].empty() || access(fields[0].c_str(), F_OK) != 0) continue;
        UsbTtyInfo info;
        info.path = fields[0];
        info.serialNumber = fields.size() > 1 ? fields[1] : BaseName(fields[0]);
        info.description = fields.size() > 2 ? fields[2] : "";
        // The chip's own identifiers, which the board keeps.
        info.vendorId = 0x0403;
        info.productId = 0x6001;
        devices.push_back(info);
    }
    return devices;
}

UsbTtyLatency UsbTtySetLatency(const UsbTtyInfo& device, SerialHandle handle, uint8_t ms) {
    if (!device.latencyAttribute.empty()) {
        std::ofstream attribute(device.latencyAttribute);
        attribute << static_cast<unsigned>(ms) << '\n';
        attribute.flush();
        if (attribute) return UsbTtyLatency::Timer;
    }
    // The driver's low-latency mode puts its timer at 1 ms.
    serial_struct serial{};
    if (ioctl(handle, TIOCGSERIAL, &serial) != 0) return UsbTtyLatency::Failed;
    serial.flags |= ASYNC_LOW_LATENCY;
    return ioctl(handle, TIOCSSERIAL, &serial) == 0 ? UsbTtyLatency::LowLatencyMode
                                                    : UsbTtyLatency::Failed;
}

} // namespace rerodada::platform
