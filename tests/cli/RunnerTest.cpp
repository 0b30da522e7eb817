// CommandRunner in-process on the simulated kit: writeall against the chip.
#include "AppManager.h"
#include "CommEventRecorder.h"
#include "CommandRunner.h"
#include "RegisterMap.h"
#include "SimulatedBoard.h"

#include <QTextStream>

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

    for (const auto& [reg, value] :
         {std::pair<uint8_t, uint8_t>{0x02, 0x0A}, {0x03, 0xF5}, {0x16, 0x21}})
        board().setChipRegister(reg, value);
    run("readall", true);
    for (const rar4120e::Register& reg : rar4120e::registers())
        board().setChipRegister(reg.address, 0x00);
    CommEventRecorder events;
    run("writeall", true);
    EXPECT_EQ(board().chipRegister(0x02), 0x0A);
    EXPECT_EQ(board().chipRegister(0x16), 0x21);
    EXPECT_EQ(board().chipRegister(0x05), 0xFF);
    // The LoDIM status bits are the chip's: written as 0.
    EXPECT_EQ(board().chipRegister(0x03), 0x05);
    for (const CommEvent& e : events.events()) {
        EXPECT_EQ(e.cmd, kCommEventWrite);
        EXPECT_EQ(e.dataSize, 8);
        EXPECT_TRUE(rar4120e::findRegister(e.reg)->writable()) << int(e.reg);
    }
    EXPECT_EQ(events.events().size(), 17u);
}

} // namespace
