// CommandRunner in-process on the simulated kit: writeall against the chip.
#include "AppManager.h"
#include "CommEventRecorder.h"
#include "CommandRunner.h"
#include "SimulatedBoard.h"

#include <QTextStream>

#include <array>

namespace {

class RunnerTest : public SimulatedBoardTest {
  protected:
    // The lines a command line printed.
    QStringList run(const char* line, bool succeeds) {
        output.clear();
        EXPECT_EQ(runner.runLine(line), succeeds) << line;
        out.flush();
        return output.split('\n', Qt::SkipEmptyParts);
    }

    QString output;
    QTextStream out{&output};
    CommandRunner runner{out};
};

TEST_F(RunnerTest, WriteallWritesTheWritableRegistersAsReadAndNothingBeforeAReadall) {
    CommEventRecorder nothing;
    EXPECT_TRUE(run("writeall", false).at(0).startsWith("\tWriteAll needs readall first"));
    EXPECT_TRUE(nothing.events().empty());

    // Every bit set, so that what is written shows each register's writable bits.
    for (uint8_t reg = 0x00; reg <= 0x16; ++reg)
        board().setChipRegister(reg, 0xFF);
    run("readall", true);
    for (uint8_t reg = 0x00; reg <= 0x16; ++reg)
        board().setChipRegister(reg, 0x00);
    CommEventRecorder events;
    run("writeall", true);
    std::array<uint8_t, 0x17> written{};
    for (const CommEvent& e : events.events()) {
        EXPECT_EQ(e.cmd, kCommEventWrite);
        EXPECT_EQ(e.dataSize, 8);
        if (e.reg <= 0x16) written[e.reg] = static_cast<uint8_t>(e.data);
    }
    EXPECT_EQ(events.events().size(), 17u);
    // Not the read-only registers, nor the chip's LoDIM status bits 7:4 of 0x03.
    EXPECT_EQ(written, (std::array<uint8_t, 0x17>{0x00, 0x00, 0xFF, 0x0F, 0xFF, 0xFF, 0xFF, 0xFF,
                                                  0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                                  0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00, 0xFF}));
}

// The exit status follows the line: a number wider than its parameter fails
// the line and goes nowhere, not cut to register 0x04.
TEST_F(RunnerTest, RefusedNumbersFailTheLineAndHelpSucceeds) {
    EXPECT_EQ(run("writebyte 2A 104 7", false),
              QStringList{"\tWriteByte invalid register parameter."});
    EXPECT_TRUE(hostBytes().empty());
    EXPECT_EQ(board().chipRegister(0x04), 0xFF);
    EXPECT_TRUE(run("writebyte 2A 01 FF", true).isEmpty());
    EXPECT_EQ(hostBytes(), (std::vector<uint8_t>{0xA0, 0x05, 0x02, 0x00, 0x2A, 0x01, 0xFF}));
    const QStringList help = run("help", true);
    EXPECT_TRUE(help.contains("\twritebyte address register data (hex)"));
    run("help nosuch", false);
}

} // namespace
