// The board served on a pseudo-terminal, in process and as podlink-sim: the
// serial path's framing, and the program's options.
#include "PtyServer.h"
#include "SimTestUtil.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

using namespace simtest;

namespace {

int openRaw(const std::string& path, speed_t speed) {
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
    if (fd < 0) return -1;
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    tcsetattr(fd, TCSANOW, &t);
    return fd;
}

// Reads until `want` bytes came or `ms` passed.
Bytes readFor(int fd, size_t want, int ms) {
    Bytes out;
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (out.size() < want && std::chrono::steady_clock::now() < end) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 10) > 0) {
            uint8_t buf[512];
            ssize_t n = ::read(fd, buf, sizeof buf);
            if (n > 0) out.insert(out.end(), buf, buf + n);
        }
    }
    return out;
}

void send(int fd, const Bytes& b) {
    ASSERT_EQ(::write(fd, b.data(), b.size()), ssize_t(b.size()));
}

TEST(PtyServer, PurgeEndsResetAndCommandsAreAnswered) {
    podsim::Board board;
    podsim::PtyServer server(board);
    ASSERT_TRUE(server.start()) << server.error();
    int fd = openRaw(server.slavePath(), B115200);
    ASSERT_GE(fd, 0);
    tcflush(fd, TCIFLUSH);
    EXPECT_EQ(hex(readFor(fd, kBanner.size(), 1000)), hex(kBanner));
    send(fd, {0xC2, 0x01});
    EXPECT_EQ(hex(readFor(fd, 4, 1000)), hex({0x01, 0x05, 0x2F, 0xD2}));
    send(fd, {0xA0, 0x05, 0x01});
    send(fd, {0x01, 0x2A, 0x00});
    EXPECT_EQ(hex(readFor(fd, 2, 1000)), hex({0x12, 0xB0}));
    EXPECT_EQ(hex(board.hostBytes()), hex({0xC2, 0x01, 0xA0, 0x05, 0x01, 0x01, 0x2A, 0x00}));
    ::close(fd);
    server.stop();
}

TEST(PodlinkSim, PrintsSlavePathAndServesUntilSigterm) {
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        dup2(out[1], 1);
        execl(PODLINK_SIM_PROGRAM, "podlink-sim", "--baud", "57600", "--firmware", "1.5.44",
              "--banner-nul", "true", nullptr);
        _exit(127);
    }
    ::close(out[1]);
    Bytes line = readFor(out[0], 1, 2000);
    while (!line.empty() && line.back() != '\n') {
        Bytes more = readFor(out[0], 1, 500);
        if (more.empty()) break;
        line.insert(line.end(), more.begin(), more.end());
    }
    ASSERT_FALSE(line.empty());
    std::string path(line.begin(), line.end() - 1);
    EXPECT_EQ(path.rfind("/dev/pts/", 0), 0u) << path;
    int fd = openRaw(path, B57600);
    ASSERT_GE(fd, 0);
    tcflush(fd, TCIFLUSH);
    Bytes expected = text(std::string(1, '\0') + "Kelvo PODLINK v01.05.44\r\n");
    EXPECT_EQ(hex(readFor(fd, expected.size(), 1000)), hex(expected));
    ::close(fd);
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    ::close(out[0]);
}

} // namespace
