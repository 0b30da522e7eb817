#include "RS232_Connection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace rerodada {
namespace {

// Lists ports that cannot be opened, with these friendly names (empty: none),
// and returns the selection's lines about them: its order without a device.
std::vector<std::string> SelectionLines(const std::vector<std::string>& friendlyNames) {
    std::string list;
    for (size_t i = 0; i < friendlyNames.size(); ++i)
        list += (i ? ":" : "") + std::string("/nonexistent/port") + std::to_string(i + 1) +
                (friendlyNames[i].empty() ? "" : "=" + friendlyNames[i]);
    setenv("RERODADA_SERIAL_PORTS", list.c_str(), 1);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(SelectSerialPort({}));
    std::istringstream out(testing::internal::GetCapturedStdout());
    std::vector<std::string> lines;
    for (std::string line; std::getline(out, line);)
        if (!line.empty() && line.find("Enumerate") == std::string::npos &&
            line.find("strFriendlyName") == std::string::npos)
            lines.push_back(line);
    return lines;
}

// COM1 to COM20 tried in order but for those not listed or skipped.
std::vector<std::string> Com1To20(int listed, const std::vector<int>& skipped = {}) {
    std::vector<std::string> lines;
    for (int i = 1; i <= 20; ++i) {
        const bool skip = i > listed || std::count(skipped.begin(), skipped.end(), i);
        lines.push_back((skip ? "Skipping COM" : "Testing COM") + std::to_string(i));
    }
    return lines;
}

TEST(SerialPortSelection, MarkedPortFirstBluetoothSkippedAboveCom20Ignored) {
    std::vector<std::string> names(22);
    names[1] = "Standard Serial over Bluetooth link";
    names[2] = "Kelvo PODLINK RS-232";
    names[3] = "BT serial";
    names[5] = "Bluetooth Kelvo bridge"; // the marker wins over the Bluetooth skip
    std::vector<std::string> expected = {"   *** skip this port ***",
                                         "   +++ prefer this port +++",
                                         "   *** skip this port ***",
                                         "   *** skip this port ***",
                                         "   +++ prefer this port +++",
                                         "This software only accepts COM1-COM20",
                                         "This software only accepts COM1-COM20",
                                         "Testing COM6"}; // the last marked port
    for (const std::string& line : Com1To20(20, {2, 4}))
        expected.push_back(line);
    EXPECT_EQ(SelectionLines(names), expected);
}

} // namespace
} // namespace rerodada
