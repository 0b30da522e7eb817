#include "PtyServer.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace podsim {

uint32_t baudOfSpeed(unsigned long speed) {
    static const struct {
        speed_t code;
        uint32_t baud;
    } table[] = {
        {B50, 50},         {B75, 75},         {B110, 110},         {B134, 134},
        {B150, 150},       {B200, 200},       {B300, 300},         {B600, 600},
        {B1200, 1200},     {B1800, 1800},     {B2400, 2400},       {B4800, 4800},
        {B9600, 9600},     {B19200, 19200},   {B38400, 38400},     {B57600, 57600},
        {B115200, 115200}, {B230400, 230400}, {B460800, 460800},   {B500000, 500000},
        {B576000, 576000}, {B921600, 921600}, {B1000000, 1000000},
    };
    for (const auto& e : table) {
        if (e.code == speed) return e.baud;
    }
    return 0;
}

PtyServer::PtyServer(Board& board) : board_(board) {}

PtyServer::~PtyServer() {
    stop();
}

bool PtyServer::start() {
    if (running_) return true;
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
        error_ = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
        stop();
        return false;
    }
    char name[128];
    if (ptsname_r(master_, name, sizeof name) != 0) {
        error_ = std::string("ptsname: ") + std::strerror(errno);
        stop();
        return false;
    }
    slavePath_ = name;
    // Holding the slave open keeps the master readable while the host has it
    // closed; raw mode keeps the line discipline from echoing or translating.
    slave_ = ::open(name, O_RDWR | O_NOCTTY);
    termios t{};
    if (slave_ < 0 || tcgetattr(slave_, &t) != 0) {
        error_ = std::string("cannot open ") + name + ": " + std::strerror(errno);
        stop();
        return false;
    }
    cfmakeraw(&t);
    tcsetattr(slave_, TCSANOW, &t);
    int on = 1;
    int pipeFds[2];
    if (ioctl(master_, TIOCPKT, &on) != 0 || pipe(pipeFds) != 0) {
        error_ = std::string("cannot set up the pty: ") + std::strerror(errno);
        stop();
        return false;
    }
    wakeRead_ = pipeFds[0];
    wakeWrite_ = pipeFds[1];
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    running_ = true;
    thread_ = std::thread(&PtyServer::run, this);
    return true;
}

void PtyServer::stop() {
    if (running_.exchange(false)) {
        char b = 0;
        if (::write(wakeWrite_, &b, 1) < 0) {
            // The thread also notices the flag at its next poll timeout.
        }
        thread_.join();
    }
    for (int* fd : {&master_, &slave_, &wakeRead_, &wakeWrite_}) {
        if (*fd >= 0) ::close(*fd);
        *fd = -1;
    }
    unsent_.clear();
}

void PtyServer::syncBaud() {
    PtyLine line = hostLineOf(master_);
    if (line.baud == 0) return;
    // A rate of 0 matches no board: its bytes come out as noise.
    bool framed = !usb_ || (line.twoStopBits && line.rtsCts);
    board_.setBaud(framed ? line.baud : 0);
}

void PtyServer::trace(const char* dir, const uint8_t* data, size_t n) {
    if (trace_ == nullptr) return;
    std::string line = dir;
    char hex[4];
    for (size_t i = 0; i < n; ++i) {
        std::snprintf(hex, sizeof hex, " %02X", data[i]);
        line += hex;
    }
    *trace_ << line << std::endl;
}

void PtyServer::flushToHost() {
    auto bytes = board_.readAvailable();
    if (!bytes.empty()) trace("board->host", bytes.data(), bytes.size());
    unsent_.insert(unsent_.end(), bytes.begin(), bytes.end());
    while (!unsent_.empty()) {
        ssize_t n = ::write(master_, unsent_.data(), unsent_.size());
        if (n <= 0) break; // the host is not reading; try again later
        unsent_.erase(unsent_.begin(), unsent_.begin() + n);
    }
}

void PtyServer::run() {
    uint8_t buf[4096];
    while (running_) {
        int64_t wait = board_.microsUntilNext();
        int timeoutMs = 50;
        if (!unsent_.empty()) {
            timeoutMs = 2;
        } else if (wait >= 0) {
            timeoutMs = static_cast<int>(std::min<int64_t>(50, (wait + 999) / 1000));
        }
        pollfd fds[2] = {{master_, POLLIN, 0}, {wakeRead_, POLLIN, 0}};
        int r = poll(fds, 2, timeoutMs);
        if (r < 0 && errno != EINTR) break;
        if (r > 0 && (fds[0].revents & POLLIN)) {
            ssize_t n = ::read(master_, buf, sizeof buf);
            if (n > 0) {
                syncBaud();
                if (buf[0] == TIOCPKT_DATA) {
                    trace("host->board", buf + 1, size_t(n - 1));
                    board_.hostWrite(buf + 1, size_t(n - 1));
                } else if (buf[0] & TIOCPKT_FLUSHREAD) {
                    trace("reset", nullptr, 0);
                    unsent_.clear();
                    board_.purgeHostReceive();
                    board_.endReset();
                }
            }
        }
        flushToHost();
    }
}

} // namespace podsim
