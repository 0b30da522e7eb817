// The kernel driver's USB devices found on a small fake sysfs tree, and the
// listing that RERODADA_USB_TTYS gives instead.
#include "platform/UsbTty.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

using namespace rerodada::platform;
namespace fs = std::filesystem;

namespace {

class FakeSysfs : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/usbtty-XXXXXX";
        root = mkdtemp(pattern);
        fs::create_directories(root / "bus/usb-serial/drivers/ftdi_sio");
        fs::create_directories(root / "bus/usb/drivers/cdc_acm");
    }
    void TearDown() override { fs::remove_all(root); }

    void Write(const fs::path& file, const std::string& text) {
        std::ofstream(file) << text << '\n';
    }
    // A tty on USB device busPort, bound to driver, as the kernel lays it out.
    void AddTty(const std::string& tty, const std::string& busPort, const std::string& driver,
                const std::string& serial, const std::string& product) {
        const fs::path usb = root / "devices/pci0000:00/usb1" / busPort;
        const fs::path port = usb / (busPort + ":1.0") / tty;
        fs::create_directories(port);
        Write(usb / "idVendor", "0403");
        Write(usb / "idProduct", "6015");
        Write(usb / "serial", serial);
        Write(usb / "product", product);
        const bool ftdi = driver == "ftdi_sio";
        fs::create_directory_symlink(
            root / (ftdi ? "bus/usb-serial/drivers/" : "bus/usb/drivers/") / driver,
            port / "driver");
        if (ftdi) Write(port / "latency_timer", "16");
        fs::create_directories(root / "class/tty" / tty);
        fs::create_directory_symlink(port, root / "class/tty" / tty / "device");
    }
    fs::path root;
};

TEST_F(FakeSysfs, ListsTheFtdiDriversTtysInSerialNumberOrder) {
    AddTty("ttyUSB0", "1-1", "ftdi_sio", "PL000002", "PODLINK USB");
    AddTty("ttyUSB1", "1-2", "ftdi_sio", "PL000001", "PODLINK USB");
    AddTty("ttyACM0", "1-3", "cdc_acm", "A0", "Modem");
    fs::create_directories(root / "class/tty/ttyS0");

    const std::vector<UsbTtyInfo> devices = UsbTtyList(root.string());
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0].path, "/dev/ttyUSB1");
    EXPECT_EQ(devices[0].serialNumber, "PL000001");
    EXPECT_EQ(devices[1].path, "/dev/ttyUSB0");
    EXPECT_EQ(devices[1].description, "PODLINK USB");
    EXPECT_EQ(devices[1].vendorId, 0x0403);
    EXPECT_EQ(devices[1].productId, 0x6015);
}

TEST_F(FakeSysfs, LatencyGoesToTheDriversAttribute) {
    AddTty("ttyUSB0", "1-1", "ftdi_sio", "PL000001", "PODLINK USB");
    const std::vector<UsbTtyInfo> devices = UsbTtyList(root.string());
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(UsbTtySetLatency(devices[0], kInvalidSerialHandle, 1), UsbTtyLatency::Timer);
    std::ifstream attribute(devices[0].latencyAttribute);
    std::string value;
    std::getline(attribute, value);
    EXPECT_EQ(value, "1");
}

TEST(UsbTtyListing, EnvironmentReplacesTheListing) {
    setenv("RERODADA_USB_TTYS", "/dev/null=PL000007=PODLINK USB:/nonexistent/tty:/dev/zero", 1);
    const std::vector<UsbTtyInfo> devices = UsbTtyListPorts();
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0].path, "/dev/null");
    EXPECT_EQ(devices[0].serialNumber, "PL000007");
    EXPECT_EQ(devices[0].description, "PODLINK USB");
    EXPECT_EQ(devices[1].serialNumber, "zero");
    setenv("RERODADA_USB_TTYS", "", 1);
    EXPECT_TRUE(UsbTtyListPorts().empty());
}

} // namespace
