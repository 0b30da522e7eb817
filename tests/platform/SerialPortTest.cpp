// The POSIX serial port against a scripted driver: partial writes,
// interruptions, a full queue, a port another process holds, and the clock.
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

struct WriteStep {
    ssize_t taken; // -1: fails with error
    int error;
};

struct Driver {
    std::deque<WriteStep> writes; // then a full queue for ever
    std::string line;
    std::vector<unsigned long> ioctls;
    int modemCleared = 0, flockResult = 0, exclusiveAlready = 0, closes = 0;
    uint64_t now = 1000000; // µs; every wait for room lasts as long as it may
};

Driver* driver = nullptr;

class SerialPortTest : public ::testing::Test {
  protected:
    void SetUp() override {
        driver = &state;
        PosixSerialCalls& calls = SerialCalls();
        calls.open = [](const char*, int) { return kFd; };
        calls.close = [](int) { return ++driver->closes, 0; };
        calls.flock = [](int, int operation) {
            EXPECT_EQ(operation, LOCK_EX | LOCK_NB);
            errno = EWOULDBLOCK;
            return driver->flockResult;
        };
        calls.ioctl = [](int, unsigned long request, void* argument) {
            driver->ioctls.push_back(request);
            int* value = static_cast<int*>(argument);
            if (request == TIOCGEXCL) *value = driver->exclusiveAlready;
            if (request == TIOCOUTQ) *value = 0;
            if (request == TIOCMBIC) driver->modemCleared = *value;
            return 0;
        };
        calls.write = [](int, const void* data, size_t count) -> ssize_t {
            const WriteStep step =
                driver->writes.empty() ? WriteStep{-1, EAGAIN} : driver->writes.front();
            if (!driver->writes.empty()) driver->writes.pop_front();
            if (step.taken < 0) return errno = step.error, -1;
            const size_t n = std::min(count, static_cast<size_t>(step.taken));
            driver->line.append(static_cast<const char*>(data), n);
            return static_cast<ssize_t>(n);
        };
        calls.poll = [](pollfd*, nfds_t, int timeoutMs) {
            driver->now += static_cast<uint64_t>(timeoutMs) * 1000;
            return 0;
        };
        calls.nowMicroseconds = [] { return driver->now; };
        calls.sleepMicroseconds = [](uint64_t us) { driver->now += us; };
    }
    void TearDown() override { SerialCalls() = RealSerialCalls(); }
    // Writes the bytes at baud; returns the result and the µs it took.
    std::pair<bool, uint64_t> Write(const std::string& bytes, uint32_t baud) {
        const uint64_t start = state.now;
        const bool ok =
            SerialWrite(kFd, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), baud);
        return {ok, state.now - start};
    }
    Driver state;
};

TEST_F(SerialPortTest, EveryByteGoesOutInOrderWhateverTheDriverTakes) {
    const std::vector<std::vector<WriteStep>> drivers = {
        {{20, 0}},
        {{7, 0}, {1, 0}, {12, 0}},
        {{-1, EINTR}, {5, 0}, {-1, EINTR}, {15, 0}},
        {{3, 0}, {-1, EAGAIN}, {0, 0}, {17, 0}}};
    for (size_t i = 0; i < drivers.size(); ++i) {
        SCOPED_TRACE(i);
        state = Driver{};
        state.writes = {drivers[i].begin(), drivers[i].end()};
        ASSERT_TRUE(Write("0123456789ABCDEFGHIJ", 115200).first);
        EXPECT_EQ(state.line, "0123456789ABCDEFGHIJ");
        EXPECT_EQ(state.ioctls.back(), static_cast<unsigned long>(TIOCOUTQ)) << "drained";
    }
}

TEST_F(SerialPortTest, WriteThatCannotCompleteFails) {
    state.writes = {{10, 0}};
    const auto [ok, took] = Write(std::string(100, 'U'), 9600);
    EXPECT_FALSE(ok);
    EXPECT_EQ(errno, ETIMEDOUT);
    // Twice the 104 ms on the line and a second for the driver, on the driver's clock.
    EXPECT_GE(took, 2 * 104166u + 1000000u);
    EXPECT_LT(took, 2 * 104166u + 2000000u);
    state.writes = {{4, 0}, {-1, EIO}};
    EXPECT_FALSE(Write(std::string(10, 'U'), 9600).first);
    EXPECT_EQ(errno, EIO);
}

TEST_F(SerialPortTest, OpenTakesThePortAloneAndLowersDtrAndRts) {
    ASSERT_EQ(SerialOpen("/dev/ttyS0"), kFd);
    EXPECT_EQ(state.ioctls,
              (std::vector<unsigned long>{TIOCGEXCL, TIOCEXCL, TCGETS2, TCSETS2, TIOCMBIC}));
    EXPECT_EQ(state.modemCleared, TIOCM_DTR | TIOCM_RTS);
    SerialClose(kFd);
    EXPECT_EQ(state.ioctls.back(), static_cast<unsigned long>(TIOCNXCL));
}

TEST_F(SerialPortTest, HeldPortFailsBeforeAnyModemLineIsTouched) {
    for (const auto& [flockResult, exclusive] : {std::pair{-1, 0}, std::pair{0, 1}}) {
        state = Driver{};
        state.flockResult = flockResult;
        state.exclusiveAlready = exclusive;
        EXPECT_EQ(SerialOpen("/dev/ttyS0"), kInvalidSerialHandle);
        EXPECT_TRUE(SerialInUse(SerialLastError()));
        EXPECT_EQ(state.closes, 1);
        // Neither its lines nor the other holder's exclusive flag are touched.
        EXPECT_EQ(state.ioctls, std::vector<unsigned long>(exclusive, TIOCGEXCL));
    }
}

} // namespace
