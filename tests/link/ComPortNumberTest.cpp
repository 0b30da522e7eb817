// Serial ports named like Windows ports keep their own numbers, from the
// search through the connection to a re-open; ports past COM20 are listed but
// never opened, and other devices beside them (a printer port) are left out.
#include "SimulatedKit.h"

#include <string>
#include <vector>
#if !defined(_WIN32)
#include <unistd.h>
#endif

using namespace linktest;

namespace {

void RERODADA_CALL Collect(const char* line, void* lines) {
    static_cast<std::vector<std::string>*>(lines)->push_back(line);
}

TEST(ComPortNumbers, TheBoardOnCom7IsPort6FromSearchToReopen) {
#if defined(_WIN32)
#if !defined(RERODADA_WINE_SIM_PORT)
    GTEST_SKIP() << "no COM port of the simulated board in this build";
#endif
    // wine maps COM7 to the simulated board; the other names lead to no device.
    const std::string elsewhere = "\\\\.\\rerodada-no-device\\", board = "COM7";
#else
    PtyBoard pty("baud = 38400");
    char dir[] = "/tmp/rerodada-com-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string elsewhere = std::string(dir) + "/", board = elsewhere + "COM7";
    ASSERT_EQ(symlink(pty.path().c_str(), board.c_str()), 0);
#endif
    const std::string found = "EnumeratePortsNext found serial port ";
    const struct {
        std::string friendlyName;
        std::vector<std::string> lines, refused;
    } rows[] = {
        {"",
         {found + "COM1", found + "COM3", found + "COM7", found + "COM34",
          "This software only accepts COM1-COM20", "Testing COM1", "Skipping COM2", "Testing COM3",
          "Skipping COM4", "Skipping COM5", "Skipping COM6", "Testing COM7"},
         {"COM1", "COM3"}},
        {"Kelvo Command Module",
         {found + "COM1", found + "COM3", found + "COM7",
          "   strFriendlyName = \"Kelvo Command Module\"", "   +++ prefer this port +++",
          found + "COM34", "This software only accepts COM1-COM20", "Testing COM7",
          "Opened comm port " + board, "Trying port " + board + " @ 115200 baud",
          "Trying port " + board + " @ 57600 baud", "Trying port " + board + " @ 38400 baud"},
         {}}};
    QuickSearch quick;
    ResetLibraryState();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.friendlyName);
        const std::string list = elsewhere + "COM1:" + elsewhere + "COM3:" + board + "=" +
                                 row.friendlyName + ":" + elsewhere + "COM34:" + elsewhere + "LPT1";
        setenv("RERODADA_SERIAL_PORTS", list.c_str(), 1);
        std::vector<std::string> lines, refused;
        BrimBoardSetSearchProgress(Collect, &lines);
        const std::string trace = TraceOf([] { EXPECT_TRUE(BrimBoardConnectAnyRS232()); });
        BrimBoardSetSearchProgress(nullptr, nullptr);
        EXPECT_EQ(lines, row.lines);
        for (const char* name : {"COM1", "COM3", "COM34", "LPT1"})
            if (trace.find(elsewhere + name + " cannot be opened") != std::string::npos)
                refused.push_back(name);
        EXPECT_EQ(refused, row.refused) << trace;
        const auto portName = [] {
            char name[256] = {};
            return BrimBoardGetPortName(name, sizeof name) ? std::string(name) : "(failed)";
        };
        EXPECT_EQ(BrimBoardGetPort(), 6);
        EXPECT_EQ(portName(), board);
        // The same port again with the search off.
        BrimBoardDisconnect();
        EXPECT_EQ(BrimBoardSetPort(6), 0);
        BrimBoardAutoPort(false);
        EXPECT_TRUE(BrimBoardConnectAnyRS232());
        EXPECT_EQ(BrimBoardGetPort(), 6);
        EXPECT_EQ(portName(), board);
        ResetLibraryState();
    }
    setenv("RERODADA_SERIAL_PORTS", "", 1);
#if !defined(_WIN32)
    unlink(board.c_str());
    rmdir(dir);
#endif
}

} // namespace
