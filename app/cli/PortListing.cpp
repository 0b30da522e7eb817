#include "PortListing.h"

#include "platform/DynamicLibrary.h"
#include "platform/SerialPort.h"
#include "platform/UsbTty.h"

#include <algorithm>

#include <cstdint>
#include <cstring>

namespace portlisting {
namespace {

// The D2XX interface's documented values; its functions are stdcall on Windows.
#if defined(_WIN32)
using FtListDevicesFn = uint32_t(__stdcall*)(void* arg1, void* arg2, uint32_t flags);
#else
using FtListDevicesFn = uint32_t (*)(void* arg1, void* arg2, uint32_t flags);
#endif
constexpr uint32_t kFtOk = 0;
constexpr uint32_t kFtListNumberOnly = 0x80000000;
constexpr uint32_t kFtListByIndex = 0x40000000;
constexpr uint32_t kFtOpenBySerialNumber = 1;
constexpr uint32_t kFtOpenByDescription = 2;
// The driver's text buffers: 16 characters of serial number, 64 of
// description.
constexpr size_t kFtTextSize = 65;

constexpr int kCandidatePorts = 20;

std::string d2xxLibraryName() {
    std::string chosen;
    if (rerodada::platform::LibraryFromEnvironment("RERODADA_D2XX_LIBRARY", &chosen)) return chosen;
#if defined(_WIN32)
    return "FTD2XX.dll";
#else
    return "libftd2xx.so";
#endif
}

std::string listedText(FtListDevicesFn list, uint32_t index, uint32_t what) {
    char text[kFtTextSize] = {};
    void* byIndex = reinterpret_cast<void*>(static_cast<uintptr_t>(index));
    if (list(byIndex, text, kFtListByIndex | what) != kFtOk) return std::string();
    text[kFtTextSize - 1] = 0;
    return text;
}

bool contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

} // namespace

UsbListing listUsbDevices() {
    using namespace rerodada::platform;
    UsbListing listing;
    listing.library = d2xxLibraryName();
    if (void* module = LibraryLoad(listing.library.c_str())) {
        listing.loaded = true;
        auto list = reinterpret_cast<FtListDevicesFn>(LibrarySymbol(module, "FT_ListDevices"));
        uint32_t count = 0;
        if (list && list(&count, nullptr, kFtListNumberOnly) == kFtOk) {
            for (uint32_t i = 0; i < count; ++i)
                listing.devices.push_back({listedText(list, i, kFtOpenByDescription),
                                           listedText(list, i, kFtOpenBySerialNumber), ""});
        }
        LibraryFree(module);
    }
    if (listing.devices.empty()) {
        for (const UsbTtyInfo& tty : UsbTtyListPorts())
            listing.kernelDevices.push_back({tty.description, tty.serialNumber, tty.path});
    }
    return listing;
}

std::vector<SerialCandidate> listSerialPorts(const UsbListing& usb) {
    std::vector<SerialCandidate> ports;
    for (const rerodada::platform::SerialPortInfo& info : rerodada::platform::SerialListPorts()) {
        SerialCandidate port;
        port.name = "COM" + std::to_string(info.number);
        port.path = info.path;
        port.friendlyName = info.friendlyName;
        const bool bluetooth =
            contains(port.friendlyName, "Bluetooth") || contains(port.friendlyName, "BT ");
        const bool inRange = info.number <= kCandidatePorts;
        port.triedFirst = inRange && contains(port.friendlyName, "Kelvo");
        port.usbDevice =
            std::any_of(usb.kernelDevices.begin(), usb.kernelDevices.end(),
                        [&port](const UsbDevice& device) { return device.ttyPath == port.path; });
        port.triedFirst = port.triedFirst && !port.usbDevice;
        port.tried = inRange && !port.usbDevice && (!bluetooth || port.triedFirst);
        ports.push_back(port);
    }
    return ports;
}

std::string listingText() {
    std::string out;
    const UsbListing usb = listUsbDevices();
    out += "USB devices (" + usb.library + "):\n";
    if (!usb.loaded)
        out += "  none: the library cannot be loaded\n";
    else if (usb.devices.empty())
        out += "  none\n";
    auto print = [&out](const std::vector<UsbDevice>& devices) {
        for (size_t i = 0; i < devices.size(); ++i) {
            const UsbDevice& device = devices[i];
            out += "  USB" + std::to_string(i) + "  " + device.description;
            if (!device.serialNumber.empty()) out += "  S/N " + device.serialNumber;
            if (!device.ttyPath.empty()) out += "  " + device.ttyPath + "  (kernel driver)";
            out += '\n';
        }
    };
    print(usb.devices);
    if (!usb.kernelDevices.empty()) {
        out += "USB devices of the kernel's FTDI driver:\n";
        print(usb.kernelDevices);
    }
    const std::vector<SerialCandidate> ports = listSerialPorts(usb);
    out += "Serial ports:\n";
    if (ports.empty()) out += "  none\n";
    for (const SerialCandidate& port : ports) {
        out += "  " + port.name + "  " + port.path;
        if (!port.friendlyName.empty()) out += "  \"" + port.friendlyName + '"';
        if (port.usbDevice)
            out += "  (a USB device: not tried)";
        else if (port.triedFirst)
            out += "  (tried first)";
        else if (!port.tried)
            out += "  (not tried)";
        out += '\n';
    }
    return out;
}

} // namespace portlisting
