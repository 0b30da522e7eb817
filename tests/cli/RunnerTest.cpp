// CommandRunner in-process on the simulated kit: window commands on the
// register map, interpreter replies, failures.
#include "AppManager.h"
#include "CommEventRecorder.h"
#include "CommandRunner.h"
#include "RegisterMap.h"
#include "SimulatedBoard.h"

#include <QTextStream>

namespace {

class RunnerTest : public SimulatedBoardTest {
  protected:
    QString output;
    QTextStream out{&output};
    CommandRunner runner{out};

    QStringList outputLines() {
        out.flush();
        return output.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
};

TEST_F(RunnerTest, FailingLinesReportFailureAndSilentLinesSucceed) {
    EXPECT_FALSE(runner.runLine(QStringLiteral("readbyte 50 00")));
    EXPECT_FALSE(runner.runLine(QStringLiteral("bogus")));
    EXPECT_TRUE(runner.runLine(QStringLiteral("# a comment")));
    EXPECT_TRUE(runner.runLine(QStringLiteral("wait 1")));
    EXPECT_TRUE(runner.runLine(QStringLiteral("   ")));
    out.flush();
    EXPECT_EQ(output, QStringLiteral("\tReadByte failed.\n\tSyntax error.\n"));
}

TEST_F(RunnerTest, ReadallDecodesEveryRegisterFieldByField) {
    board().setChipRegister(0x02, 0x0A);
    board().setChipRegister(0x0E, 0x40);
    EXPECT_TRUE(runner.runLine(QStringLiteral("readall")));
    const QStringList lines = outputLines();
    ASSERT_EQ(lines.size(), 23);
    EXPECT_EQ(lines[0x02], QStringLiteral("\t0x02 ISET = 0x0A: BSTFORCE=1 FAST_SS=0 ENA=1 PSEN=0"));
    EXPECT_TRUE(lines[0x0E].contains(QStringLiteral(" FPWM=4 (980Hz) ")))
        << lines[0x0E].toStdString();
    EXPECT_EQ(SystemManager::instance()->getRegister(0x02), 0x0A);
}

TEST_F(RunnerTest, SetaddressChangesTheDeviceOfReadall) {
    EXPECT_FALSE(runner.runLine(QStringLiteral("setaddress zz")));
    EXPECT_EQ(outputLines(), QStringList{QStringLiteral("\tSyntax error.")});
    EXPECT_EQ(AppManager::deviceAddress(), 0x2A);
    EXPECT_TRUE(runner.runLine(QStringLiteral("SETADDRESS 0x50")));
    EXPECT_EQ(AppManager::deviceAddress(), 0x50);
    EXPECT_FALSE(runner.runLine(QStringLiteral("readall")));
    EXPECT_EQ(outputLines().at(1), QStringLiteral("\t0x00 DEV_ID: ReadByte failed."));
}

TEST_F(RunnerTest, WriteallBeforeReadallWritesNothing) {
    CommEventRecorder events;
    EXPECT_FALSE(runner.runLine(QStringLiteral("writeall")));
    EXPECT_TRUE(events.events().empty());
    EXPECT_TRUE(outputLines().first().startsWith(QStringLiteral("\tWriteAll needs readall first")));
}

TEST_F(RunnerTest, WriteallRestoresTheWritableRegistersAsRead) {
    board().setChipRegister(0x02, 0x0A);
    board().setChipRegister(0x03, 0xF5);
    board().setChipRegister(0x16, 0x21);
    ASSERT_TRUE(runner.runLine(QStringLiteral("readall")));
    for (const rar4120e::Register& reg : rar4120e::registers())
        board().setChipRegister(reg.address, 0x00);

    CommEventRecorder events;
    EXPECT_TRUE(runner.runLine(QStringLiteral("writeall")));
    EXPECT_EQ(board().chipRegister(0x02), 0x0A);
    EXPECT_EQ(board().chipRegister(0x16), 0x21);
    EXPECT_EQ(board().chipRegister(0x05), 0xFF);
    // The LoDIM status bits are the chip's: written as 0.
    EXPECT_EQ(board().chipRegister(0x03), 0x05);
    int writes = 0;
    for (const CommEvent& e : events.events()) {
        ASSERT_EQ(e.cmd, kCommEventWrite);
        EXPECT_TRUE(rar4120e::findRegister(e.reg)->writable()) << int(e.reg);
        if (e.reg == 0x03) {
            EXPECT_EQ(e.data, 0x05u);
        }
        ++writes;
    }
    EXPECT_EQ(writes, 17);
}

} // namespace
