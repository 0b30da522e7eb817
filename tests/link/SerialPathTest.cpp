#include "FreshProcess.h"
#include "SimulatedKit.h"

#include "PtyServer.h"
#include "platform/Tick.h"
#include "rerodada.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <unistd.h>

using namespace linktest;

namespace {

TEST(SerialPath, OpenStepsDownTheBaudTableToTheSimulatorsRate) {
    SimProgram sim({"--baud", "38400"});
    ASSERT_FALSE(sim.path().empty());
    int status = freshprocess::run(
        CurrentTestName(),
        {"RERODADA_SERIAL_PORTS=" + sim.path(), "RERODADA_D2XX_LIBRARY=/nonexistent"}, [] {
            testing::internal::CaptureStdout();
            bool ok = BrimBoardConnect();
            std::string out = testing::internal::GetCapturedStdout();
            char port[256] = {}, banner[256] = {};
            BrimBoardGetPortName(port, sizeof port);
            BrimBoardGetBanner(banner, sizeof banner);
            EXPECT_TRUE(ok);
            EXPECT_EQ(BrimBoardGetBaud(), 38400u);
            EXPECT_EQ(std::string(banner).rfind("Kelvo PODLINK", 0), 0u) << banner;
            EXPECT_NE(out.find("Testing COM1"), std::string::npos) << out;
            return ok && BrimBoardGetBaud() == 38400u;
        });
    EXPECT_EQ(status, 0);
}

TEST(SerialPath, StoppedSimulatorFailsWithinTheWorstCase) {
    SimProgram sim({"--baud", "38400"});
    std::string path = sim.path();
    ASSERT_FALSE(path.empty());
    sim.Stop();
    int status = freshprocess::run(
        CurrentTestName(), {"RERODADA_SERIAL_PORTS=" + path, "RERODADA_D2XX_LIBRARY=/nonexistent"},
        [] {
            uint32_t start = rerodada::platform::TickCount();
            bool ok = BrimBoardConnect();
            uint32_t elapsed = rerodada::platform::TickCount() - start;
            // Five rates, two resets each, 150 ms of reset and 500 ms of reading.
            EXPECT_LT(elapsed, 5u * 2u * 650u);
            EXPECT_FALSE(ok);
            return !ok;
        });
    EXPECT_EQ(status, 0);
}

TEST(SerialPath, MissingUsbDriverFallsBackToTheSerialBoard) {
    int status =
        freshprocess::run(CurrentTestName(), {"RERODADA_D2XX_LIBRARY=/nonexistent/lib.so"}, [] {
            podsim::Board board;
            podsim::PtyServer server(board);
            if (!server.start()) return false;
            setenv("RERODADA_SERIAL_PORTS", server.slavePath().c_str(), 1);
            EXPECT_FALSE(BrimBoardConnectAnyUSB());
            bool ok = BrimBoardConnect();
            char port[256] = {};
            BrimBoardGetPortName(port, sizeof port);
            EXPECT_TRUE(ok);
            EXPECT_EQ(std::string(port), server.slavePath());
            EXPECT_FALSE(BrimSetUSB_Latency(1)) << "latency is a USB setting";

            // A serial board has no USB identity: the caller's values stay.
            uint16_t vid = 0x1111, pid = 0x2222;
            std::string listing;
            static std::string* sink = &listing;
            BrimLogCallback([](const char* text) { *sink += text; });
            EXPECT_FALSE(BrimBoardGetUSBDeviceInfo(&vid, &pid, nullptr, nullptr));
            EXPECT_EQ(vid, 0x1111);
            EXPECT_EQ(pid, 0x2222);
            size_t firstEnd = listing.find("\r\n", 2);
            EXPECT_NE(listing.substr(0, firstEnd).find("BrimBoardGetUSBDeviceInfo() = 0"),
                      std::string::npos)
                << listing;
            BrimLogCallback(nullptr);
            BrimBoardDisconnect();
            server.stop();
            return ok;
        });
    EXPECT_EQ(status, 0);
}

TEST(FreshLibrary, ReopenWithoutAnyEarlierConnectionTouchesNoPort) {
    int status = freshprocess::run(CurrentTestName(), {}, [] {
        BrimBoardAutoPort(false);
        bool any = BrimBoardConnect() || BrimBoardConnectAnyUSB() || BrimBoardConnectAnyRS232();
        EXPECT_FALSE(any);
        EXPECT_TRUE(UsbBoard()->hostBytes().empty());
        return !any;
    });
    EXPECT_EQ(status, 0);
}

TEST(FreshLibrary, WriteAfterUnplugReportsAnInvalidHandle) {
    int status = freshprocess::run(CurrentTestName(), {"RERODADA_DEBUG=1"}, [] {
        if (!BrimBoardConnect()) return false;
        UsbBoard()->unplug();
        testing::internal::CaptureStderr();
        bool connected = BrimBoardConnected();
        const uint8_t start[] = {0xA0, 0x00};
        bool wrote = ReroDadaStringWrite(start, 2, 1);
        std::string trace = testing::internal::GetCapturedStderr();
        EXPECT_FALSE(connected);
        EXPECT_FALSE(wrote);
        EXPECT_NE(trace.find("IsConnected(): Closing."), std::string::npos) << trace;
        EXPECT_NE(trace.find("\n\tfailure: invalid handle!"), std::string::npos) << trace;
        return !connected && !wrote;
    });
    EXPECT_EQ(status, 0);
}

} // namespace
