// The kernel driver's USB ttys found on a fake sysfs tree (the listing from
// RERODADA_USB_TTYS is used by every kernel-driver test of the link).
#include "platform/UsbTty.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

using namespace rerodada::platform;
namespace fs = std::filesystem;

namespace {

TEST(UsbTty, ListsTheFtdiDriversTtysInSerialNumberOrderAndSetsTheirLatency) {
    char pattern[] = "/tmp/usbtty-XXXXXX";
    const fs::path root = mkdtemp(pattern);
    // A tty on USB device busPort bound to driver, as the kernel lays it out.
    const auto addTty = [&](const std::string& tty, const std::string& busPort,
                            const std::string& driver, const std::string& serial) {
        const fs::path usb = root / "devices/pci0000:00/usb1" / busPort;
        const fs::path port = usb / (busPort + ":1.0") / tty;
        const fs::path bound =
            root / "bus" / (driver == "ftdi_sio" ? "usb-serial" : "usb") / "drivers" / driver;
        fs::create_directories(port);
        fs::create_directories(bound);
        for (const auto& [file, text] : {std::pair{usb / "idVendor", "0403"},
                                         {usb / "idProduct", "6015"},
                                         {usb / "serial", serial.c_str()},
                                         {usb / "product", "PODLINK USB"},
                                         {port / "latency_timer", "16"}})
            std::ofstream(file) << text << '\n';
        fs::create_directory_symlink(bound, port / "driver");
        fs::create_directories(root / "class/tty" / tty);
        fs::create_directory_symlink(port, root / "class/tty" / tty / "device");
    };
    addTty("ttyUSB0", "1-1", "ftdi_sio", "PL000002");
    addTty("ttyUSB1", "1-2", "ftdi_sio", "PL000001");
    addTty("ttyACM0", "1-3", "cdc_acm", "A0");
    fs::create_directories(root / "class/tty/ttyS0");

    const std::vector<UsbTtyInfo> devices = UsbTtyList(root.string());
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0].path, "/dev/ttyUSB1");
    EXPECT_EQ(devices[0].serialNumber, "PL000001");
    EXPECT_EQ(devices[1].path, "/dev/ttyUSB0");
    EXPECT_EQ(devices[1].description, "PODLINK USB");
    EXPECT_EQ(devices[1].vendorId, 0x0403);
    EXPECT_EQ(devices[1].productId, 0x6015);
    EXPECT_EQ(UsbTtySetLatency(devices[0], kInvalidSerialHandle, 1), UsbTtyLatency::Timer);
    std::string value;
    std::getline(std::ifstream(devices[0].latencyAttribute), value);
    EXPECT_EQ(value, "1");
    fs::remove_all(root);
}

} // namespace
