#include "SerialPort.h"

namespace rerodada::platform {

std::vector<SerialPortInfo> SerialPortsFromList(const std::string& list) {
    std::vector<SerialPortInfo> ports;
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(':', start);
        if (end == std::string::npos) end = list.size();
        const std::string entry = list.substr(start, end - start);
        const size_t equals = entry.find('=');
        if (!entry.empty() && equals != 0)
            ports.push_back({entry.substr(0, equals),
                             equals == std::string::npos ? "" : entry.substr(equals + 1)});
        start = end + 1;
    }
    return ports;
}

} // namespace rerodada::platform
