#include "SerialPort.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace rerodada::platform {
namespace {

// A Windows user knows a port by its COM number, so a listing of Windows
// ports keeps those; a Linux listing has none and gets stable numbers from
// its order.
std::vector<SerialPortInfo> Numbered(std::vector<SerialPortInfo> listed) {
    const bool windowsNames = std::any_of(listed.begin(), listed.end(), [](const auto& port) {
        return ComPortNumber(port.path) > 0;
    });
    std::vector<SerialPortInfo> ports;
    for (SerialPortInfo& port : listed) {
        port.number = windowsNames ? ComPortNumber(port.path) : static_cast<int>(ports.size()) + 1;
        if (port.number > 0) ports.push_back(std::move(port));
    }
    return ports;
}

} // namespace

int ComPortNumber(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    const std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
    if (name.size() < 4 || name.size() > 6 || name[3] == '0') return 0;
    for (size_t i = 0; i < 3; ++i)
        if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) return 0;
    int number = 0;
    for (size_t i = 3; i < name.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(name[i]))) return 0;
        number = number * 10 + (name[i] - '0');
    }
    return number <= 256 ? number : 0;
}

std::vector<SerialPortInfo> SerialListPorts() {
    const char* list = std::getenv("RERODADA_SERIAL_PORTS");
    return Numbered(list ? SerialPortsFromList(list) : SerialListSystemPorts());
}

std::vector<std::string> SplitList(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(separator, start);
        if (end == std::string::npos) end = text.size();
        parts.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

std::vector<SerialPortInfo> SerialPortsFromList(const std::string& list) {
    std::vector<SerialPortInfo> ports;
    for (const std::string& entry : SplitList(list, ':')) {
        const size_t equals = entry.find('=');
        if (!entry.empty() && equals != 0)
            ports.push_back({entry.substr(0, equals),
                             equals == std::string::npos ? "" : entry.substr(equals + 1)});
    }
    return ports;
}

} // namespace rerodada::platform
