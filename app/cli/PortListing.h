// What the board connect would try, for --list-ports: the USB devices of the
// D2XX library first (or, when it lists none, the board's ttys of the
// kernel's FTDI driver), then the serial ports with their friendly names.
#ifndef PORTLISTING_H
#define PORTLISTING_H

#include <string>
#include <vector>

namespace portlisting {

struct UsbDevice {
    std::string description;
    std::string serialNumber;
    // The tty of a device reached through the kernel's driver; else empty.
    std::string ttyPath;
};

struct UsbListing {
    // The D2XX library the board link loads: RERODADA_D2XX_LIBRARY or the
    // driver's own name.
    std::string library;
    bool loaded = false;
    std::vector<UsbDevice> devices;
    // The kernel driver's devices, tried when the library lists none.
    std::vector<UsbDevice> kernelDevices;
};

UsbListing listUsbDevices();

struct SerialCandidate {
    std::string name; // COM1, COM2, ... as the board link numbers them
    std::string path;
    std::string friendlyName;
    // The connect's choice: ports past COM20 and Bluetooth ports are not
    // tried; a port named "Kelvo" is tried first.
    bool tried = false;
    bool triedFirst = false;
    // Already tried by the USB search, so not again.
    bool usbDevice = false;
};

std::vector<SerialCandidate> listSerialPorts(const UsbListing& usb);

// The listing as printed by --list-ports.
std::string listingText();

} // namespace portlisting

#endif // PORTLISTING_H
