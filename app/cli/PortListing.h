// What the board connect would try, for --list-ports: the USB devices of the
// D2XX library first, then the serial ports with their friendly names.
#ifndef PORTLISTING_H
#define PORTLISTING_H

#include <string>
#include <vector>

namespace portlisting {

struct UsbDevice {
    std::string description;
    std::string serialNumber;
};

struct UsbListing {
    // The D2XX library the board link loads: RERODADA_D2XX_LIBRARY or the
    // driver's own name.
    std::string library;
    bool loaded = false;
    std::vector<UsbDevice> devices;
};

UsbListing listUsbDevices();

struct SerialCandidate {
    std::string name; // COM1, COM2, ...
    std::string path;
    std::string friendlyName;
    // The connect's choice: ports past COM20 and Bluetooth ports are not
    // tried; a port named "Kelvo" is tried first.
    bool tried = false;
    bool triedFirst = false;
};

std::vector<SerialCandidate> listSerialPorts();

// The listing as printed by --list-ports.
std::string listingText();

} // namespace portlisting

#endif // PORTLISTING_H
