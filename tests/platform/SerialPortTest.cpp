// The POSIX serial port against a scripted driver: the system calls are
// replaced, so partial writes, interruptions, a full queue, a port that
// another process holds and the clock are the test's to choose.
#include "platform/PosixSerialCalls.h"
#include "platform/SerialPort.h"

#include <gtest/gtest.h>

#include <asm/termbits.h>
#include <cerrno>
#include <deque>
#include <string>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <vector>

using namespace rerodada::platform;

namespace {

constexpr int kFd = 42;

// One step of the driver's answers to write(2): bytes taken, or -1 and errno.
struct WriteStep {
    ssize_t taken;
    int error;
};

struct Driver {
    std::deque<WriteStep> writes;
    std::string line;
    std::vector<unsigned long> ioctls;
    std::vector<uint32_t> modemCleared;
    int flockResult = 0;
    int exclusiveAlready = 0;
    int closes = 0;
    int polls = 0;
    uint64_t now = 1000000;
    std::vector<uint64_t> sleeps;
};

Driver* driver = nullptr;

PosixSerialCalls Scripted() {
    PosixSerialCalls calls = RealSerialCalls();
    calls.open = [](const char*, int) { return kFd; };
    calls.close = [](int) {
        ++driver->closes;
        return 0;
    };
    calls.flock = [](int, int operation) {
        EXPECT_EQ(operation, LOCK_EX | LOCK_NB);
        if (driver->flockResult != 0) errno = EWOULDBLOCK;
        return driver->flockResult;
    };
    calls.ioctl = [](int, unsigned long request, void* argument) {
        driver->ioctls.push_back(request);
        if (request == TIOCGEXCL) *static_cast<int*>(argument) = driver->exclusiveAlready;
        if (request == TIOCOUTQ) *static_cast<int*>(argument) = 0;
        if (request == TIOCMBIC) driver->modemCleared.push_back(*static_cast<int*>(argument));
        return 0;
    };
    calls.write = [](int, const void* data, size_t count) -> ssize_t {
        if (driver->writes.empty()) {
            errno = EAGAIN;
            return -1;
        }
        WriteStep step = driver->writes.front();
        driver->writes.pop_front();
        if (step.taken < 0) {
            errno = step.error;
            return -1;
        }
        size_t n = std::min(count, static_cast<size_t>(step.taken));
        driver->line.append(static_cast<const char*>(data), n);
        return static_cast<ssize_t>(n);
    };
    // A full queue: every wait for room lasts as long as it may.
    calls.poll = [](pollfd*, nfds_t, int timeoutMs) {
        ++driver->polls;
        driver->now += static_cast<uint64_t>(timeoutMs) * 1000;
        return 0;
    };
    calls.nowMicroseconds = [] { return driver->now; };
    calls.sleepMicroseconds = [](uint64_t us) {
        driver->sleeps.push_back(us);
        driver->now += us;
    };
    return calls;
}

class SerialPortTest : public ::testing::Test {
  protected:
    void SetUp() override {
        driver = &state;
        SerialCalls() = Scripted();
    }
    void TearDown() override {
        SerialCalls() = RealSerialCalls();
        driver = nullptr;
    }
    Driver state;
};

struct WriteCase {
    const char* name;
    std::vector<WriteStep> steps;
};

class CompleteWrite : public SerialPortTest, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(CompleteWrite, EveryByteGoesOutInOrder) {
    for (const WriteStep& step : GetParam().steps)
        state.writes.push_back(step);
    const std::string text = "0123456789ABCDEFGHIJ";
    ASSERT_TRUE(
        SerialWrite(kFd, reinterpret_cast<const uint8_t*>(text.data()), text.size(), 115200));
    EXPECT_EQ(state.line, text);
    // Drained by the driver before it returns.
    EXPECT_EQ(state.ioctls.back(), static_cast<unsigned long>(TCSBRK));
}

INSTANTIATE_TEST_SUITE_P(
    Driver, CompleteWrite,
    ::testing::Values(WriteCase{"AllAtOnce", {{20, 0}}},
                      WriteCase{"Partial", {{7, 0}, {1, 0}, {12, 0}}},
                      WriteCase{"Interrupted", {{-1, EINTR}, {5, 0}, {-1, EINTR}, {15, 0}}},
                      WriteCase{"QueueFull", {{3, 0}, {-1, EAGAIN}, {0, 0}, {17, 0}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SerialPortTest, ReturnsNoEarlierThanTheBytesTimeOnTheLine) {
    // 250 bytes at 9600 baud, 10 bits each, take 260,416 µs on the line,
    // though the driver reports them drained at once.
    state.writes.push_back({250, 0});
    std::vector<uint8_t> bytes(250, 0x55);
    const uint64_t start = state.now;
    ASSERT_TRUE(SerialWrite(kFd, bytes.data(), bytes.size(), 9600));
    EXPECT_EQ(state.now - start, 260416u);
}

TEST_F(SerialPortTest, WriteThatCannotCompleteFailsWithinItsTimeLimit) {
    state.writes.push_back({10, 0});
    std::vector<uint8_t> bytes(100, 0x55);
    const uint64_t start = state.now;
    EXPECT_FALSE(SerialWrite(kFd, bytes.data(), bytes.size(), 9600));
    EXPECT_EQ(errno, ETIMEDOUT);
    // Twice the 104 ms on the line, and a second for the driver.
    EXPECT_GE(state.now - start, 2 * 104166u + 1000000u);
    EXPECT_LT(state.now - start, 2 * 104166u + 1000000u + 1000000u);
}

TEST_F(SerialPortTest, DriverErrorFailsTheWrite) {
    state.writes.push_back({4, 0});
    state.writes.push_back({-1, EIO});
    std::vector<uint8_t> bytes(10, 0x55);
    EXPECT_FALSE(SerialWrite(kFd, bytes.data(), bytes.size(), 9600));
    EXPECT_EQ(errno, EIO);
}

TEST_F(SerialPortTest, OpenTakesThePortAloneAndLowersDtrAndRts) {
    ASSERT_EQ(SerialOpen("/dev/ttyS0"), kFd);
    const std::vector<unsigned long> expected = {TIOCGEXCL, TIOCEXCL, TCGETS2, TCSETS2, TIOCMBIC};
    EXPECT_EQ(state.ioctls, expected);
    ASSERT_EQ(state.modemCleared.size(), 1u);
    EXPECT_EQ(state.modemCleared[0], static_cast<uint32_t>(TIOCM_DTR | TIOCM_RTS));
    SerialClose(kFd);
    EXPECT_EQ(state.ioctls.back(), static_cast<unsigned long>(TIOCNXCL));
}

struct HeldCase {
    const char* name;
    int flockResult;
    int exclusiveAlready;
};

class HeldPort : public SerialPortTest, public ::testing::WithParamInterface<HeldCase> {};

TEST_P(HeldPort, FailsBeforeAnyModemLineIsTouched) {
    state.flockResult = GetParam().flockResult;
    state.exclusiveAlready = GetParam().exclusiveAlready;
    EXPECT_EQ(SerialOpen("/dev/ttyS0"), kInvalidSerialHandle);
    EXPECT_TRUE(SerialInUse(SerialLastError()));
    EXPECT_EQ(state.closes, 1);
    // Neither its lines nor the other holder's exclusive flag are touched.
    for (unsigned long request : state.ioctls)
        EXPECT_TRUE(request == static_cast<unsigned long>(TIOCGEXCL)) << std::hex << request;
}

INSTANTIATE_TEST_SUITE_P(Holder, HeldPort,
                         ::testing::Values(HeldCase{"LockedByAnotherProcess", -1, 0},
                                           HeldCase{"ExclusiveToAnotherProcess", 0, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
