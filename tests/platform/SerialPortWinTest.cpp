// The Windows serial layer on a COM port that wine maps to the simulated
// board's pseudo-terminal (scripts/test-windows.sh sets it up).
#include "platform/SerialPort.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace rerodada::platform;

bool UnderWine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

class SerialPortWin : public ::testing::Test {
  protected:
    void SetUp() override {
#ifndef RERODADA_WINE_SIM_PORT
        GTEST_SKIP() << "no COM port of the simulated board in this build";
#endif
    }
    static const char* Port() {
#ifdef RERODADA_WINE_SIM_PORT
        return RERODADA_WINE_SIM_PORT;
#else
        return "";
#endif
    }
};

TEST_F(SerialPortWin, OpenIsExclusiveUntilClosed) {
    const SerialHandle first = SerialOpen(Port());
    ASSERT_NE(first, kInvalidSerialHandle) << SerialErrorText(SerialLastError());
    if (UnderWine()) {
        SerialClose(first);
        GTEST_SKIP() << "wine does not keep a second open out of a COM port; Windows does";
    }
    const SerialHandle second = SerialOpen(Port());
    const int error = SerialLastError();
    EXPECT_EQ(second, kInvalidSerialHandle);
    EXPECT_TRUE(SerialInUse(error)) << error << ": " << SerialErrorText(error);
    SerialClose(first);
    const SerialHandle again = SerialOpen(Port());
    EXPECT_NE(again, kInvalidSerialHandle);
    SerialClose(again);
}

TEST_F(SerialPortWin, LineSettingsWritesAndRefusedModemLines) {
    const SerialHandle port = SerialOpen(Port());
    ASSERT_NE(port, kInvalidSerialHandle);
    SerialLine line;
    line.baud = 38400;
    EXPECT_TRUE(SerialSetLine(port, line));
    line.baud = 0;
    EXPECT_FALSE(SerialSetLine(port, line));
    // The simulated board's port carries no modem lines: refused as missing,
    // not as failed, like a pseudo-terminal on Linux.
    uint32_t status = 0;
    EXPECT_EQ(SerialSetDtr(port, false), SerialResult::NotSupported);
    EXPECT_EQ(SerialModemStatus(port, &status), SerialResult::NotSupported);
    EXPECT_TRUE(SerialPurge(port, true, true));
    const std::vector<uint8_t> bytes(300, 0x00);
    EXPECT_TRUE(SerialWrite(port, bytes.data(), bytes.size(), 38400));
    uint8_t buffer[64];
    EXPECT_GE(SerialReadAvailable(port, buffer, sizeof buffer), 0);
    SerialClose(port);
}

TEST_F(SerialPortWin, ListingFallsBackToTheDeviceMap) {
    const char* listed = std::getenv("RERODADA_SERIAL_PORTS");
    const std::string saved = listed ? listed : "";
    _putenv_s("RERODADA_SERIAL_PORTS", "");
    const std::vector<SerialPortInfo> ports = SerialListPorts();
    setenv("RERODADA_SERIAL_PORTS", saved.c_str(), 1);
    const std::string expected = std::string("\\\\.\\") + Port();
    EXPECT_TRUE(std::any_of(ports.begin(), ports.end(),
                            [&](const SerialPortInfo& p) { return p.path == expected; }));
    // In COM-number order.
    std::vector<int> numbers;
    for (const SerialPortInfo& p : ports)
        numbers.push_back(std::atoi(p.path.c_str() + 7));
    EXPECT_TRUE(std::is_sorted(numbers.begin(), numbers.end()));
}

} // namespace
