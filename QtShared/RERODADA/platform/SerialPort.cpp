#include "platform/SerialPort.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace rerodada::platform {
namespace {

speed_t SpeedOf(uint32_t baud) {
    switch (baud) {
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    case 230400:
        return B230400;
    case 460800:
        return B460800;
    case 921600:
        return B921600;
    default:
        return 0;
    }
}

SerialResult ModemLine(SerialHandle handle, int line, bool on) {
    if (ioctl(handle, on ? TIOCMBIS : TIOCMBIC, &line) == 0) return SerialResult::Ok;
    // Pseudo-terminals and some adapters carry no modem lines.
    return errno == ENOTTY || errno == EINVAL ? SerialResult::NotSupported : SerialResult::Failed;
}

std::string ReadLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    return line;
}

// Manufacturer and product strings of the USB device a tty hangs off, if any.
std::string UsbFriendlyName(const std::string& ttyName) {
    char resolved[4096];
    std::string link = "/sys/class/tty/" + ttyName + "/device";
    if (!realpath(link.c_str(), resolved)) return "";
    std::string dir = resolved;
    for (int depth = 0; depth < 6 && dir.size() > 1; ++depth) {
        std::string product = ReadLine(dir + "/product");
        if (!product.empty()) {
            std::string maker = ReadLine(dir + "/manufacturer");
            return maker.empty() ? product : maker + " " + product;
        }
        dir = dir.substr(0, dir.rfind('/'));
    }
    return "";
}

bool HasHardware(const std::string& ttyName) {
    std::string base = "/sys/class/tty/" + ttyName;
    if (access((base + "/device").c_str(), F_OK) != 0) return false;
    // Legacy UART entries exist without a chip behind them: their type is 0.
    std::string type = ReadLine(base + "/type");
    return type.empty() || type != "0";
}

} // namespace

SerialHandle SerialOpen(const char* path) {
    int fd = open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return kInvalidSerialHandle;
    termios tio{};
    if (tcgetattr(fd, &tio) == 0) {
        cfmakeraw(&tio);
        tio.c_cc[VMIN] = 0;
        tio.c_cc[VTIME] = 0;
        tcsetattr(fd, TCSANOW, &tio);
    }
    return fd;
}

void SerialClose(SerialHandle handle) {
    if (handle != kInvalidSerialHandle) close(handle);
}

bool SerialSetLine(SerialHandle handle, uint32_t baud) {
    speed_t speed = SpeedOf(baud);
    termios tio{};
    if (speed == 0 || tcgetattr(handle, &tio) != 0) return false;
    cfmakeraw(&tio);
    tio.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS | CSIZE);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    cfsetispeed(&tio, speed);
    cfsetospeed(&tio, speed);
    return tcsetattr(handle, TCSANOW, &tio) == 0;
}

SerialResult SerialSetDtr(SerialHandle handle, bool on) {
    return ModemLine(handle, TIOCM_DTR, on);
}

SerialResult SerialSetRts(SerialHandle handle, bool on) {
    return ModemLine(handle, TIOCM_RTS, on);
}

SerialResult SerialModemStatus(SerialHandle handle, uint32_t* status) {
    int bits = 0;
    if (ioctl(handle, TIOCMGET, &bits) != 0)
        return errno == ENOTTY || errno == EINVAL ? SerialResult::NotSupported
                                                  : SerialResult::Failed;
    *status = ((bits & TIOCM_CTS) ? kModemCTS : 0) | ((bits & TIOCM_DSR) ? kModemDSR : 0) |
              ((bits & TIOCM_RI) ? kModemRING : 0) | ((bits & TIOCM_CD) ? kModemRLSD : 0);
    return SerialResult::Ok;
}

bool SerialPurge(SerialHandle handle, bool receive, bool transmit) {
    int which = receive && transmit ? TCIOFLUSH : receive ? TCIFLUSH : TCOFLUSH;
    return tcflush(handle, which) == 0;
}

long SerialReadAvailable(SerialHandle handle, uint8_t* buffer, size_t room) {
    if (room == 0) return 0;
    ssize_t n = read(handle, buffer, room);
    if (n >= 0) return n;
    return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? 0 : -1;
}

long SerialWrite(SerialHandle handle, const uint8_t* data, size_t count) {
    size_t sent = 0;
    while (sent < count) {
        ssize_t n = write(handle, data + sent, count - sent);
        if (n > 0) {
            sent += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            return sent > 0 ? static_cast<long>(sent) : -1;
        pollfd p{handle, POLLOUT, 0};
        if (poll(&p, 1, 1000) <= 0) break;
    }
    return static_cast<long>(sent);
}

void SerialWaitReadable(SerialHandle handle, uint32_t ms) {
    pollfd p{handle, POLLIN, 0};
    poll(&p, 1, static_cast<int>(ms));
}

int SerialLastError() {
    return errno;
}

std::string SerialErrorText(int error) {
    return std::strerror(error);
}

std::vector<SerialPortInfo> SerialListPorts() {
    std::vector<SerialPortInfo> ports;
    if (const char* list = std::getenv("RERODADA_SERIAL_PORTS")) {
        std::string rest = list;
        size_t start = 0;
        while (start <= rest.size()) {
            size_t end = rest.find(':', start);
            if (end == std::string::npos) end = rest.size();
            std::string entry = rest.substr(start, end - start);
            size_t equals = entry.find('=');
            if (!entry.empty() && equals != 0)
                ports.push_back({entry.substr(0, equals),
                                 equals == std::string::npos ? "" : entry.substr(equals + 1)});
            start = end + 1;
        }
        return ports;
    }
    DIR* dir = opendir("/sys/class/tty");
    if (!dir) return ports;
    std::vector<std::string> names;
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name[0] != '.' && HasHardware(name)) names.push_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names)
        ports.push_back({"/dev/" + name, UsbFriendlyName(name)});
    return ports;
}

} // namespace rerodada::platform
