// What a real serial port asks of the link, shown on the simulated board:
// a second process kept out, writes that take their time on the line, any
// rate the driver takes, the re-open of the same device, and a C interface
// that returns instead of aborting.
#include "FreshProcess.h"
#include "SimulatedKit.h"

#include "PtyServer.h"
#include "rerodada.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <sys/wait.h>
#include <vector>

using namespace linktest;

namespace {

constexpr uint8_t kChip = 0x2A;
constexpr uint8_t kSmbusDevice = 0xA0;

// A simulated board on a pseudo-terminal, listed as the only serial port.
class SerialBoard : public ::testing::Test {
  protected:
    void Serve(const std::string& config, const std::string& listing = "") {
        board = std::make_unique<podsim::Board>(podsim::Config::fromText(config));
        server = std::make_unique<podsim::PtyServer>(*board);
        ASSERT_TRUE(server->start()) << server->error();
        setenv("RERODADA_SERIAL_PORTS", (listing + server->slavePath()).c_str(), 1);
    }
    // A fixed-rate open, which goes straight to the board's rate.
    bool ConnectAt(uint32_t baud) {
        BrimBoardAutoBaud(false);
        BrimBoardSetBaud(static_cast<int>(baud));
        return BrimBoardConnectAnyRS232();
    }
    void TearDown() override {
        ResetLibraryState();
        setenv("RERODADA_SERIAL_PORTS", "", 1);
        if (server) server->stop();
    }
    std::unique_ptr<podsim::Board> board;
    std::unique_ptr<podsim::PtyServer> server;
};

TEST_F(SerialBoard, PortableBlockWriteOutlastingTheReplyWindowSucceeds) {
    // Some 510 bytes, 531 ms on the line at 9600 baud, answered as they come.
    Serve("baud = 9600\nline_rate = true");
    ASSERT_TRUE(ConnectAt(9600));
    std::vector<uint8_t> data(250);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<uint8_t>(i * 7);
    EXPECT_EQ(BrimSMBusWriteBlock_portable(kSmbusDevice, 0x80, 250, data.data()), 1u);
    EXPECT_EQ(board->smbusBlock(kSmbusDevice, 0x80), data);
}

class RateOutsideTheClassicTable : public SerialBoard,
                                   public ::testing::WithParamInterface<uint32_t> {};

TEST_P(RateOutsideTheClassicTable, SetBaudKeepsTheLink) {
    const uint32_t baud = GetParam();
    Serve("baud = " + std::to_string(baud));
    ASSERT_TRUE(ConnectAt(baud));
    EXPECT_TRUE(BrimBoardSetBaud(static_cast<int>(baud)));
    EXPECT_TRUE(BrimBoardConnected());
    EXPECT_EQ(BrimBoardGetBaud(), baud);
    EXPECT_EQ(board->hostBaud(), baud);
    uint8_t id = 0;
    EXPECT_EQ(BrimSMBusReadByte(kChip, 0x00, &id), 1u);
    EXPECT_EQ(id, 0x12);
}

INSTANTIATE_TEST_SUITE_P(Rates, RateOutsideTheClassicTable, ::testing::Values(14400u, 250000u));

TEST_F(SerialBoard, ReopenTakesTheDeviceOfTheLastConnection) {
    Serve("");
    ASSERT_TRUE(BrimBoardConnectAnyRS232());
    BrimBoardDisconnect();
    // A hot-plug put another port before it in the listing.
    setenv("RERODADA_SERIAL_PORTS", ("/dev/null:" + server->slavePath()).c_str(), 1);
    BrimBoardAutoPort(false);
    ASSERT_TRUE(BrimBoardConnectAnyRS232());
    char port[256] = {};
    BrimBoardGetPortName(port, sizeof port);
    EXPECT_EQ(port, server->slavePath());
}

TEST(SecondProcess, CannotTakeTheConnectedPortAndDisturbsNothing) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string name = std::string(info->test_suite_name()) + "." + info->name();
    int status = freshprocess::run(name, {"RERODADA_D2XX_LIBRARY=/nonexistent"}, [] {
        podsim::Board board;
        podsim::PtyServer server(board);
        if (!server.start()) return false;
        setenv("RERODADA_SERIAL_PORTS", server.slavePath().c_str(), 1);
        if (!BrimBoardConnectAnyRS232()) return false;
        const size_t chunksBefore = board.traffic().size();

        // The second process: the connection check, as a user would run it.
        const std::string command = "RERODADA_DEBUG=1 " RERODADA_LINKCHECK_PROGRAM " 2>&1";
        std::string output;
        if (FILE* pipe = popen(command.c_str(), "r")) {
            char line[512];
            while (fgets(line, sizeof line, pipe))
                output += line;
            int exit = pclose(pipe);
            EXPECT_TRUE(WIFEXITED(exit) && WEXITSTATUS(exit) == 1) << output;
        }
        EXPECT_NE(output.find(server.slavePath() + " is held by another process: skipped"),
                  std::string::npos)
            << output;
        EXPECT_EQ(board.traffic().size(), chunksBefore) << "the second process reached the board";

        int correct = 0;
        for (int i = 0; i < 50; ++i) {
            uint8_t id = 0;
            correct += BrimSMBusReadByte(kChip, 0x00, &id) == 1 && id == 0x12;
        }
        EXPECT_EQ(correct, 50);
        BrimBoardDisconnect();
        return correct == 50;
    });
    EXPECT_EQ(status, 0);
}

struct HugeCount {
    const char* name;
    uint32_t (*call)(uint8_t, uint32_t, uint32_t, const uint8_t*, uint8_t*, uint32_t*);
    uint32_t writeCount;
    uint32_t readCount;
};

class CountThatCannotBeServed : public ::testing::TestWithParam<HugeCount> {
  protected:
    void TearDown() override { ResetLibraryState(); }
};

TEST_P(CountThatCannotBeServed, ReturnsZeroWithNothingSent) {
    ReloadUsb("");
    ASSERT_TRUE(BrimBoardConnect());
    UsbBoard()->clearTraffic();
    const uint8_t writeData[1] = {0x00};
    uint8_t readBuffer[1] = {};
    uint32_t received = 7;
    EXPECT_EQ(GetParam().call(kChip, GetParam().writeCount, GetParam().readCount, writeData,
                              readBuffer, &received),
              0u);
    EXPECT_EQ(received, 0u);
    EXPECT_TRUE(UsbBoard()->hostBytes().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Counts, CountThatCannotBeServed,
    ::testing::Values(HugeCount{"DispatcherRead", BrimI2CWriteAndReadBytes, 1, 0xFFFFFFFF},
                      HugeCount{"PortableRead", BrimI2CWriteAndReadBytes_portable, 1, 0xFFFFFFFF},
                      HugeCount{"NativeWrite", BrimI2CWriteAndReadBytes_native, 0x80000000, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CInterface, ExceptionFromTheListingCallbackEndsInAFailedCall) {
    ReloadUsb("");
    ASSERT_TRUE(BrimBoardConnect());
    BrimLogCallback([](const char*) { throw std::runtime_error("caller's callback"); });
    uint8_t id = 0;
    EXPECT_EQ(BrimSMBusReadByte(kChip, 0x00, &id), 0u);
    BrimLogCallback(nullptr);
    EXPECT_EQ(BrimSMBusReadByte(kChip, 0x00, &id), 1u);
    EXPECT_EQ(id, 0x12);
    ResetLibraryState();
}

} // namespace
