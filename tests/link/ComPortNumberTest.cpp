// Windows port names keep their numbers from search to re-open; COM21 up and LPT1 are never opened.
#include "SimulatedKit.h"

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
    // wine maps COM7 to the simulated board; the other names lead to no device.
    const std::string elsewhere = "\\\\.\\rerodada-no-device\\", board = "COM7";
#if !defined(RERODADA_WINE_SIM_PORT)
    GTEST_SKIP() << "no COM port of the simulated board in this build";
#endif
#else
    PtyBoard pty("baud = 38400");
    char dir[] = "/tmp/rerodada-com-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string elsewhere = std::string(dir) + "/", board = elsewhere + "COM7";
    ASSERT_EQ(symlink(pty.path().c_str(), board.c_str()), 0);
#endif
    const std::string found = "EnumeratePortsNext found serial port ";
    const std::pair<std::string, std::vector<std::string>> rows[] = {
        {"",
         {found + "COM1", found + "COM3", found + "COM7", found + "COM34",
          "This software only accepts COM1-COM20", "Testing COM1", "Skipping COM2", "Testing COM3",
          "Skipping COM4", "Skipping COM5", "Skipping COM6", "Testing COM7"}},
        {"Kelvo Command Module",
         {found + "COM1", found + "COM3", found + "COM7",
          "   strFriendlyName = \"Kelvo Command Module\"", "   +++ prefer this port +++",
          found + "COM34", "This software only accepts COM1-COM20", "Testing COM7",
          "Opened comm port " + board, "Trying port " + board + " @ 115200 baud",
          "Trying port " + board + " @ 57600 baud", "Trying port " + board + " @ 38400 baud"}}};
    const auto where = [] {
        char name[256] = {};
        return std::to_string(BrimBoardGetPort()) + " " +
               (BrimBoardGetPortName(name, sizeof name) ? name : "(failed)");
    };
    QuickSearch quick;
    ResetLibraryState();
    for (const auto& [friendlyName, expected] : rows) {
        SCOPED_TRACE(friendlyName);
        const std::string list = elsewhere + "COM1:" + elsewhere + "COM3:" + board + "=" +
                                 friendlyName + ":" + elsewhere + "COM34:" + elsewhere + "LPT1";
        setenv("RERODADA_SERIAL_PORTS", list.c_str(), 1);
        std::vector<std::string> lines;
        BrimBoardSetSearchProgress(Collect, &lines);
        const std::string trace = TraceOf([] { EXPECT_TRUE(BrimBoardConnectAnyRS232()); });
        BrimBoardSetSearchProgress(nullptr, nullptr);
        EXPECT_EQ(lines, expected);
        for (const char* never : {"COM34", "LPT1"})
            EXPECT_EQ(trace.find(elsewhere + never), std::string::npos) << trace;
        EXPECT_EQ(where(), "6 " + board);
        // The same port again with the search off.
        BrimBoardDisconnect();
        EXPECT_EQ(BrimBoardSetPort(6), 0);
        BrimBoardAutoPort(false);
        EXPECT_TRUE(BrimBoardConnectAnyRS232());
        EXPECT_EQ(where(), "6 " + board);
        ResetLibraryState();
    }
    setenv("RERODADA_SERIAL_PORTS", "", 1);
#if !defined(_WIN32)
    unlink(board.c_str());
    rmdir(dir);
#endif
}

} // namespace
