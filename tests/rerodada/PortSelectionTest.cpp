#include "RS232_Connection.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace rerodada {
namespace {

// Ports that are listed but cannot be opened: the selection's order shows in
// its standard-output lines without touching any device.
std::string ListedPorts(const std::vector<std::string>& friendlyNames) {
    std::string list;
    for (size_t i = 0; i < friendlyNames.size(); ++i) {
        if (i) list += ':';
        list += "/nonexistent/rerodada-port" + std::to_string(i + 1);
        if (!friendlyNames[i].empty()) list += "=" + friendlyNames[i];
    }
    return list;
}

std::vector<std::string> SelectionLines(const std::vector<std::string>& friendlyNames) {
    setenv("RERODADA_SERIAL_PORTS", ListedPorts(friendlyNames).c_str(), 1);
    testing::internal::CaptureStdout();
    bool found = SelectSerialPort({});
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_FALSE(found);
    std::vector<std::string> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);)
        if (line.rfind("Testing", 0) == 0 || line.rfind("Skipping", 0) == 0 ||
            line.rfind("This software", 0) == 0 || line.find("***") != std::string::npos ||
            line.find("+++") != std::string::npos)
            lines.push_back(line);
    return lines;
}

TEST(SerialPortSelection, WithoutMarkerTriesCom1ToCom20InOrder) {
    std::vector<std::string> names(3, "USB Serial Port");
    std::vector<std::string> lines = SelectionLines(names);
    std::vector<std::string> expected = {"Testing COM1", "Testing COM2", "Testing COM3"};
    for (int i = 4; i <= 20; ++i)
        expected.push_back("Skipping COM" + std::to_string(i));
    EXPECT_EQ(lines, expected);
}

TEST(SerialPortSelection, MarkedPortFirstBluetoothSkippedAboveCom20Ignored) {
    std::vector<std::string> names(22);
    names[1] = "Standard Serial over Bluetooth link";
    names[2] = "Kelvo PODLINK RS-232";
    names[3] = "BT serial";
    names[5] = "Bluetooth Kelvo bridge"; // marker wins over the Bluetooth skip
    std::vector<std::string> lines = SelectionLines(names);

    std::vector<std::string> expected = {
        "   *** skip this port ***", "   +++ prefer this port +++", "   *** skip this port ***",
        "   *** skip this port ***", "   +++ prefer this port +++",
        "This software only accepts COM1-COM20", "This software only accepts COM1-COM20",
        // the last marked port is preferred
        "Testing COM6"};
    for (int i = 1; i <= 20; ++i) {
        bool skipped = i == 2 || i == 4;
        expected.push_back((skipped ? "Skipping COM" : "Testing COM") + std::to_string(i));
    }
    EXPECT_EQ(lines, expected);
}

TEST(SerialPortSelection, NoPortsMeansNothingTried) {
    setenv("RERODADA_SERIAL_PORTS", "", 1);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(SelectSerialPort({}));
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.find("Testing"), std::string::npos);
}

TEST(SerialPortListing, NamesPortsComNInListingOrder) {
    setenv("RERODADA_SERIAL_PORTS", "/dev/a=First:/dev/b", 1);
    PortEnumeration* set = EnumeratePortsFirst();
    char name[100], friendly[100];
    ASSERT_TRUE(EnumeratePortsNext(set, name, sizeof name, friendly, sizeof friendly));
    EXPECT_STREQ(name, "COM1");
    EXPECT_STREQ(friendly, "First");
    ASSERT_TRUE(EnumeratePortsNext(set, name, sizeof name, friendly, sizeof friendly));
    EXPECT_STREQ(name, "COM2");
    EXPECT_STREQ(friendly, "");
    EXPECT_FALSE(EnumeratePortsNext(set, name, sizeof name, friendly, sizeof friendly));
    EnumeratePortsClose(set);
}

} // namespace
} // namespace rerodada
