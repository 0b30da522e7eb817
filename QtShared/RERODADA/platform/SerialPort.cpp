#include "platform/SerialPort.h"

#include "platform/PosixSerialCalls.h"
#include "platform/Tick.h"

#include <algorithm>
#include <asm/termbits.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <mutex>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace rerodada::platform {
namespace {

// Room for the driver's buffering and the scheduler on top of twice the
// bytes' own time on the line.
constexpr uint64_t kWriteSlackUs = 1000000;
constexpr uint64_t kBitsPerByte = 10;

int RealOpen(const char* path, int flags) {
    return ::open(path, flags);
}
int RealIoctl(int fd, unsigned long request, void* argument) {
    return ::ioctl(fd, request, argument);
}
// Time and sleeps of the link's clock, which a test or benchmark may replace.
uint64_t RealNow() {
    return Microseconds();
}
void RealSleep(uint64_t us) {
    SleepMicroseconds(static_cast<uint32_t>(std::min<uint64_t>(us, UINT32_MAX)));
}

// Pseudo-terminals and some adapters carry no modem lines.
bool NoSuchLine(int error) {
    return error == ENOTTY || error == EINVAL;
}

SerialResult ModemLine(SerialHandle handle, int line, bool on) {
    if (SerialCalls().ioctl(handle, on ? TIOCMBIS : TIOCMBIC, &line) == 0) return SerialResult::Ok;
    return NoSuchLine(errno) ? SerialResult::NotSupported : SerialResult::Failed;
}

void MakeRaw(termios2& tio) {
    tio.c_iflag &=
        ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY);
    tio.c_oflag &= ~OPOST;
    tio.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag &= ~(CSIZE | PARENB);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
}

bool TimeLeft(uint64_t deadline, uint64_t* left) {
    uint64_t now = SerialCalls().nowMicroseconds();
    if (now >= deadline) {
        errno = ETIMEDOUT;
        return false;
    }
    *left = deadline - now;
    return true;
}

// Waits until the driver takes more bytes, or fails at the deadline.
bool WaitWritable(SerialHandle handle, uint64_t deadline) {
    uint64_t left = 0;
    if (!TimeLeft(deadline, &left)) return false;
    pollfd p{handle, POLLOUT, 0};
    int ms = static_cast<int>(std::min<uint64_t>((left + 999) / 1000, 1000));
    return SerialCalls().poll(&p, 1, ms) >= 0 || errno == EINTR;
}

// Waits until the driver's queue is empty, or fails at the deadline. The
// drain of the terminal layer (tcdrain) is not used: it has no limit, and a
// board that holds CTS off with RTS/CTS flow control on would keep it, and
// the caller, waiting for ever.
bool Drain(SerialHandle handle, uint32_t baud, uint64_t deadline) {
    PosixSerialCalls& sys = SerialCalls();
    for (;;) {
        int queued = 0;
        if (sys.ioctl(handle, TIOCOUTQ, &queued) != 0) return NoSuchLine(errno);
        if (queued <= 0) return true;
        uint64_t left = 0;
        if (!TimeLeft(deadline, &left)) return false;
        uint64_t lineUs = baud ? queued * kBitsPerByte * 1000000 / baud : 1000;
        sys.sleepMicroseconds(std::max<uint64_t>(100, std::min(left, lineUs)));
    }
}

// The UUCP lock directories: RERODADA_LOCK_DIRS (colon-separated; set
// but empty, none) or the system's.
std::vector<std::string> LockDirs() {
    const char* set = getenv("RERODADA_LOCK_DIRS");
    std::vector<std::string> dirs;
    for (std::string& dir : SplitList(set ? set : "/var/lock:/run/lock", ':'))
        if (!dir.empty()) dirs.push_back(std::move(dir));
    return dirs;
}

std::string LockName(const std::string& dir, const char* path) {
    const char* slash = strrchr(path, '/');
    return dir + "/LCK.." + (slash ? slash + 1 : path);
}

// The process a lock file names: the HDB format's PID in ASCII, or the
// older binary int (4 bytes that are not text, as "123\n" is); 0 when the
// file is missing or unreadable.
long LockPid(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (text.size() == sizeof(int) && text.find_first_not_of(" 0123456789\n") != text.npos) {
        int pid = 0;
        memcpy(&pid, text.data(), sizeof pid);
        return pid;
    }
    return strtol(text.c_str(), nullptr, 10);
}

bool Alive(long pid) {
    return pid > 0 && (kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

// The lock files this process holds, by handle.
std::mutex locksMutex;
std::map<SerialHandle, std::string>& Locks() {
    static std::map<SerialHandle, std::string> locks;
    return locks;
}

// Creates the port's lock file in the first lock directory that takes it,
// replacing a stale one; empty when none does.
std::string TakeLock(const char* path) {
    char pid[16];
    int length = snprintf(pid, sizeof pid, "%10ld\n", static_cast<long>(getpid()));
    for (const std::string& dir : LockDirs()) {
        std::string file = LockName(dir, path);
        if (!Alive(LockPid(file))) unlink(file.c_str());
        int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) continue;
        bool written = ::write(fd, pid, static_cast<size_t>(length)) == length;
        ::close(fd);
        if (written) return file;
        unlink(file.c_str());
    }
    return "";
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

PosixSerialCalls RealSerialCalls() {
    return {RealOpen, ::close, RealIoctl, ::flock, ::read, ::write, ::poll, RealNow, RealSleep};
}

PosixSerialCalls& SerialCalls() {
    static PosixSerialCalls calls = RealSerialCalls();
    return calls;
}

long SerialLockOwner(const char* path) {
    for (const std::string& dir : LockDirs()) {
        long pid = LockPid(LockName(dir, path));
        if (Alive(pid)) return pid;
    }
    return 0;
}

bool SerialLockHeld(SerialHandle handle) {
    std::lock_guard<std::mutex> lock(locksMutex);
    return Locks().count(handle) != 0;
}

SerialHandle SerialOpen(const char* path) {
    PosixSerialCalls& sys = SerialCalls();
    // A program that locks the UUCP way holds the port: it is not opened,
    // so neither its modem lines nor its settings are touched.
    if (SerialLockOwner(path) != 0) {
        errno = EBUSY;
        return kInvalidSerialHandle;
    }
    int fd = sys.open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return kInvalidSerialHandle;
    // The lock holds against root too and against programs that lock the
    // same way; the exclusive flag keeps other users' opens out and tells
    // that a program which does not lock already holds the port.
    int exclusive = 0;
    if (sys.flock(fd, LOCK_EX | LOCK_NB) != 0 || sys.ioctl(fd, TIOCGEXCL, &exclusive) != 0 ||
        exclusive != 0 || sys.ioctl(fd, TIOCEXCL, nullptr) != 0) {
        int error = errno == EWOULDBLOCK || exclusive != 0 ? EBUSY : errno;
        sys.close(fd);
        errno = error;
        return kInvalidSerialHandle;
    }
    termios2 tio{};
    if (sys.ioctl(fd, TCGETS2, &tio) == 0) {
        MakeRaw(tio);
        sys.ioctl(fd, TCSETS2, &tio);
    }
    // The open raised DTR and RTS; the board sees them only from the reset
    // and the caller's own requests.
    ModemLine(fd, TIOCM_DTR | TIOCM_RTS, false);
    std::string lockFile = TakeLock(path);
    if (!lockFile.empty()) {
        std::lock_guard<std::mutex> lock(locksMutex);
        Locks()[fd] = lockFile;
    }
    return fd;
}

void SerialClose(SerialHandle handle) {
    if (handle == kInvalidSerialHandle) return;
    PosixSerialCalls& sys = SerialCalls();
    // The flag belongs to the terminal, not to this descriptor: it would
    // outlive the close while another descriptor keeps the terminal open.
    sys.ioctl(handle, TIOCNXCL, nullptr);
    sys.close(handle);
    std::lock_guard<std::mutex> lock(locksMutex);
    auto held = Locks().find(handle);
    if (held == Locks().end()) return;
    unlink(held->second.c_str());
    Locks().erase(held);
}

bool SerialInUse(int error) {
    return error == EBUSY;
}

bool SerialSetLine(SerialHandle handle, const SerialLine& line) {
    termios2 tio{};
    if (line.baud == 0 || SerialCalls().ioctl(handle, TCGETS2, &tio) != 0) return false;
    MakeRaw(tio);
    tio.c_cflag &= ~(CSTOPB | CRTSCTS | CBAUD | (CBAUD << IBSHIFT));
    if (line.stopBits == 2) tio.c_cflag |= CSTOPB;
    if (line.rtsCtsFlow) tio.c_cflag |= CRTSCTS;
    // Any rate: the driver refuses what it cannot make. The input rate
    // follows the output rate.
    tio.c_cflag |= BOTHER;
    tio.c_ospeed = line.baud;
    tio.c_ispeed = line.baud;
    return SerialCalls().ioctl(handle, TCSETS2, &tio) == 0;
}

SerialResult SerialSetDtr(SerialHandle handle, bool on) {
    return ModemLine(handle, TIOCM_DTR, on);
}

SerialResult SerialSetRts(SerialHandle handle, bool on) {
    return ModemLine(handle, TIOCM_RTS, on);
}

SerialResult SerialModemStatus(SerialHandle handle, uint32_t* status) {
    int bits = 0;
    if (SerialCalls().ioctl(handle, TIOCMGET, &bits) != 0) {
        if (!NoSuchLine(errno)) return SerialResult::Failed;
        // Without modem lines, a port whose other end went away still
        // tells so: it has hung up.
        pollfd p{handle, POLLIN, 0};
        bool hungUp = SerialCalls().poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR));
        return hungUp ? SerialResult::Failed : SerialResult::NotSupported;
    }
    *status = ((bits & TIOCM_CTS) ? kModemCTS : 0) | ((bits & TIOCM_DSR) ? kModemDSR : 0) |
              ((bits & TIOCM_RI) ? kModemRING : 0) | ((bits & TIOCM_CD) ? kModemRLSD : 0);
    return SerialResult::Ok;
}

bool SerialPurge(SerialHandle handle, bool receive, bool transmit) {
    long which = receive && transmit ? TCIOFLUSH : receive ? TCIFLUSH : TCOFLUSH;
    return SerialCalls().ioctl(handle, TCFLSH, reinterpret_cast<void*>(which)) == 0;
}

long SerialReadAvailable(SerialHandle handle, uint8_t* buffer, size_t room) {
    if (room == 0) return 0;
    PosixSerialCalls& sys = SerialCalls();
    ssize_t n = sys.read(handle, buffer, room);
    if (n > 0) return n;
    if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? 0 : -1;
    // With nothing waiting a raw read returns 0, as it does on a terminal
    // that hung up (the adapter was unplugged): only the latter polls as such.
    pollfd p{handle, POLLIN, 0};
    if (sys.poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR))) {
        errno = ENODEV;
        return -1;
    }
    return 0;
}

bool SerialWrite(SerialHandle handle, const uint8_t* data, size_t count, uint32_t baud,
                 uint32_t timeoutMs) {
    PosixSerialCalls& sys = SerialCalls();
    const uint64_t start = sys.nowMicroseconds();
    const uint64_t lineUs = baud ? count * kBitsPerByte * 1000000 / baud : 0;
    const uint64_t deadline =
        start + (timeoutMs ? lineUs + uint64_t{timeoutMs} * 1000 : 2 * lineUs + kWriteSlackUs);
    size_t sent = 0;
    while (sent < count) {
        ssize_t n = sys.write(handle, data + sent, count - sent);
        if (n > 0) {
            sent += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
        if (!WaitWritable(handle, deadline)) return false;
    }
    if (!Drain(handle, baud, deadline)) return false;
    // The queue is empty once the last bytes are in the chip's own buffer,
    // which sends them within their time on the line. A driver that reports
    // them gone within half that time (a pseudo-terminal, some adapters) has
    // not waited for the line: the rest of their time is waited out. A
    // shorter rest is not slept for, so that no sleep is a sliver.
    uint64_t now = sys.nowMicroseconds();
    if (now < start + lineUs / 2) sys.sleepMicroseconds(start + lineUs - now);
    return true;
}

bool SerialTimedOut(int error) {
    return error == ETIMEDOUT;
}

void SerialWaitReadable(SerialHandle handle, uint32_t ms) {
    struct Readable final : Event {
        explicit Readable(SerialHandle h) : handle(h) {}
        void Wait(uint32_t ms) override {
            pollfd p{handle, POLLIN, 0};
            SerialCalls().poll(&p, 1, static_cast<int>(ms));
        }
        SerialHandle handle;
    } readable(handle);
    AwaitEvent(readable, ms);
}

int SerialLastError() {
    return errno;
}

std::string SerialErrorText(int error) {
    return std::strerror(error);
}

std::vector<SerialPortInfo> SerialListSystemPorts() {
    std::vector<SerialPortInfo> ports;
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
        ports.push_back({"/dev/" + name, UsbFriendlyName(name), 0});
    return ports;
}

} // namespace rerodada::platform
