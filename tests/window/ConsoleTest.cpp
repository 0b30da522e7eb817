#include "WindowTestSupport.h"

#include "AppManager.h"
#include "CommLog.h"
#include "ConsoleBox.h"
#include "I2CCommand.h"
#include "SystemManager.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTableView>
#include <QTest>
#include <QTimer>

namespace {

void emitEvent(uint8_t cmd, uint8_t reg, uint8_t size, uint32_t data, uint8_t ok) {
    emit SystemManager::instance()->sig_commEvent(cmd, reg, size, data, ok);
}

QString cell(const CommLog& log, int row, int column) {
    return log.model()->item(row, column)->text();
}

} // namespace

TEST(CommLogView, RowsShowTheEventNewestFirst) {
    CommLog log(nullptr, true);
    emitEvent(0, 0x04, 8, 0x80, 1);
    emitEvent(1, 0x05, 16, 0x1234, 1);
    emitEvent(1, 0x06, 32, 0x12345678, 1);
    emitEvent(0, 0x07, 8, 0x1FF, 0);
    emitEvent(2, 0x08, 8, 0, 1);
    ASSERT_EQ(log.model()->rowCount(), 5);
    EXPECT_EQ(cell(log, 0, 1), QStringLiteral("Unknown"));
    EXPECT_EQ(cell(log, 1, 1), QStringLiteral("ReadByte"));
    EXPECT_EQ(cell(log, 1, 3), QStringLiteral("0xFF"));
    EXPECT_EQ(cell(log, 1, 4), QStringLiteral("FAIL"));
    EXPECT_EQ(cell(log, 2, 1), QStringLiteral("WriteDWord"));
    EXPECT_EQ(cell(log, 2, 3), QStringLiteral("0x5678"));
    EXPECT_EQ(cell(log, 3, 1), QStringLiteral("WriteWord"));
    EXPECT_EQ(cell(log, 3, 3), QStringLiteral("0x1234"));
    EXPECT_EQ(cell(log, 4, 1), QStringLiteral("ReadByte"));
    EXPECT_EQ(cell(log, 4, 2), QStringLiteral("0x04"));
    EXPECT_EQ(cell(log, 4, 3), QStringLiteral("0x80"));
    EXPECT_EQ(cell(log, 4, 4), QStringLiteral("OK"));
    EXPECT_TRUE(QRegExp(QStringLiteral("\\d\\d:\\d\\d:\\d\\d")).exactMatch(cell(log, 4, 0)));
    EXPECT_FALSE(log.model()->item(4, 2)->flags() & Qt::ItemIsEditable);
    EXPECT_EQ(log.model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Time"));
    EXPECT_EQ(log.model()->headerData(4, Qt::Horizontal).toString(), QStringLiteral("Result"));
}

TEST(CommLogView, KeepsAtMost399Rows) {
    CommLog log(nullptr, false);
    for (int i = 0; i < 400; ++i)
        emitEvent(1, static_cast<uint8_t>(i), 16, static_cast<uint32_t>(i), 1);
    ASSERT_EQ(log.model()->rowCount(), CommLog::kMaxRows);
    EXPECT_EQ(cell(log, 0, 3), QStringLiteral("0x018F"));
    EXPECT_EQ(cell(log, 398, 3), QStringLiteral("0x0001"));
}

TEST(CommLogView, CopiesTwoRowsAsTwoTabSeparatedLines) {
    CommLog log(nullptr, true);
    emitEvent(0, 0x01, 8, 0x11, 1);
    emitEvent(1, 0x02, 8, 0x22, 0);
    emitEvent(0, 0x03, 8, 0x33, 1);
    QApplication::clipboard()->setText(QStringLiteral("unchanged"));
    log.slt_ctrlC();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("unchanged"));

    log.table()->selectRow(1);
    log.table()->selectionModel()->select(log.model()->index(0, 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    log.slt_ctrlC();
    const QStringList lines = QApplication::clipboard()->text().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 2);
    const QStringList upper = lines[0].split(QLatin1Char('\t'));
    const QStringList lower = lines[1].split(QLatin1Char('\t'));
    ASSERT_EQ(upper.size(), 5);
    ASSERT_EQ(lower.size(), 5);
    EXPECT_EQ(upper.mid(1), (QStringList{"ReadByte", "0x03", "0x33", "OK"}));
    EXPECT_EQ(lower.mid(1), (QStringList{"WriteByte", "0x02", "0x22", "FAIL"}));
}

TEST(CommLogView, ClearLogFromTheContextMenuEmptiesTheTable) {
    CommLog log(nullptr, true);
    emitEvent(0, 0x01, 8, 0x11, 1);
    emitEvent(0, 0x02, 8, 0x22, 1);
    QTimer::singleShot(50, [] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        for (QAction* action : menu->actions())
            if (action->text() == QStringLiteral("Clear Log")) menu->setActiveAction(action);
        QTest::keyClick(menu, Qt::Key_Return);
    });
    log.slt_logContextMenu(QPoint(1, 1));
    EXPECT_EQ(log.model()->rowCount(), 0);
    EXPECT_EQ(log.model()->columnCount(), 5);
    emitEvent(0, 0x03, 8, 0x33, 1);
    EXPECT_EQ(log.model()->rowCount(), 1);
}

TEST(CommLogView, PromptSendsTheLineAndKeepsIt) {
    CommLog log(nullptr, true);
    QSignalSpy sent(&log, &CommLog::sig_commandSend);
    log.prompt()->setText(QStringLiteral("readbyte 2a 0"));
    QTest::keyClick(log.prompt(), Qt::Key_Return);
    QTest::keyClick(log.prompt(), Qt::Key_Return);
    ASSERT_EQ(sent.count(), 2);
    EXPECT_EQ(sent.at(1).at(0).toString(), QStringLiteral("readbyte 2a 0"));
    log.prompt()->clear();
    QTest::keyClick(log.prompt(), Qt::Key_Return);
    ASSERT_EQ(sent.count(), 3);
    EXPECT_TRUE(sent.at(2).at(0).toString().isEmpty());
}

TEST(Console, HistoryKeepsTheNewest101AndWalksWithUpAndDown) {
    ConsoleBox console;
    auto* line = console.findChild<QLineEdit*>(QStringLiteral("lineEdit"));
    ASSERT_NE(line, nullptr);
    QSignalSpy entered(&console, &ConsoleBox::sig_commandEntered);

    QTest::keyClick(line, Qt::Key_Up);
    EXPECT_TRUE(line->text().isEmpty());
    QTest::keyClick(line, Qt::Key_Return);
    EXPECT_EQ(entered.count(), 0);
    EXPECT_TRUE(console.history().isEmpty());

    for (int i = 1; i <= 102; ++i) {
        line->setText(QStringLiteral("cmd %1").arg(i));
        QTest::keyClick(line, Qt::Key_Return);
    }
    EXPECT_EQ(entered.count(), 102);
    ASSERT_EQ(console.history().size(), 101);
    EXPECT_EQ(console.history().first(), QStringLiteral("cmd 102"));
    EXPECT_EQ(console.history().last(), QStringLiteral("cmd 2"));
    EXPECT_TRUE(line->text().isEmpty());

    QTest::keyClick(line, Qt::Key_Up);
    EXPECT_EQ(line->text(), QStringLiteral("cmd 102"));
    QTest::keyClick(line, Qt::Key_Up);
    EXPECT_EQ(line->text(), QStringLiteral("cmd 101"));
    QTest::keyClick(line, Qt::Key_Down);
    EXPECT_EQ(line->text(), QStringLiteral("cmd 101"));
    QTest::keyClick(line, Qt::Key_Down);
    EXPECT_EQ(line->text(), QStringLiteral("cmd 102"));
    QTest::keyClick(line, Qt::Key_Down);
    EXPECT_EQ(line->text(), QStringLiteral("cmd 102"));
}

class PanelTest : public testing::Test {
  protected:
    void SetUp() override { AppManager::setDeviceAddress(0x2A); }

    QString press(const char* name) {
        QSignalSpy sent(&panel, &I2CCommand::sig_commandEntered);
        auto* button = panel.findChild<QPushButton*>(QString::fromLatin1(name));
        if (!button) return QStringLiteral("no button");
        button->click();
        return sent.count() == 1 ? sent.at(0).at(0).toString() : QStringLiteral("no command");
    }
    void setSpin(const char* name, int value) {
        panel.findChild<QSpinBox*>(QString::fromLatin1(name))->setValue(value);
    }
    QLineEdit* edit(const char* name) {
        return panel.findChild<QLineEdit*>(QString::fromLatin1(name));
    }

    I2CCommand panel;
};

TEST_F(PanelTest, ButtonsComposeTheirCommands) {
    setSpin("spinBox_reg", 5);
    setSpin("spinBox_data", 0x1234);
    setSpin("spinBox_dataByte", 0xA5);
    EXPECT_EQ(press("pushButton_Start"), QStringLiteral("I2CStart"));
    EXPECT_EQ(press("pushButton_RStart"), QStringLiteral("I2CRepeatedStart"));
    EXPECT_EQ(press("pushButton_Stop"), QStringLiteral("I2CStop"));
    EXPECT_EQ(press("pushButton_readAck"), QStringLiteral("Receive8 1"));
    EXPECT_EQ(press("pushButton_readNack"), QStringLiteral("Receive8 0"));
    EXPECT_EQ(press("pushButton_Write8"), QStringLiteral("Write8 a5"));
    EXPECT_EQ(press("pushButton_readByte"), QStringLiteral("ReadByte 2a 5"));
    EXPECT_EQ(press("pushButton_readWord"), QStringLiteral("ReadWord 2a 5"));
    EXPECT_EQ(press("pushButton_writeByte"), QStringLiteral("WriteByte 2a 5 1234"));
    EXPECT_EQ(press("pushButton_writeWord"), QStringLiteral("WriteWord 2a 5 1234"));
    EXPECT_EQ(press("pushButton_csAssert"), QStringLiteral("spiCsAssert"));
    EXPECT_EQ(press("pushButton_csDeassert"), QStringLiteral("spiCsDeassert"));
    EXPECT_EQ(press("pushButton_spiTransfer"), QStringLiteral("spiTransfer 0 "));

    edit("lineEdit_writeData")->setText(QStringLiteral("01 02"));
    setSpin("spinBox_returnBytes", 2);
    EXPECT_EQ(press("pushButton_WRBytes"), QStringLiteral("WRBytes 2a 2 2 01 02"));
    EXPECT_EQ(press("pushButton_sendRaw"), QStringLiteral("SendRaw 2 01 02"));

    QSignalSpy sent(&panel, &I2CCommand::sig_commandEntered);
    setSpin("spinBox_CSPin", 7);
    ASSERT_EQ(sent.count(), 1);
    EXPECT_EQ(sent.at(0).at(0).toString(), QStringLiteral("spiCsPin 7"));
}

// The byte fields send the bytes typed, single-spaced, and count them:
// rejected characters and extra blanks add no empty bytes.
TEST_F(PanelTest, ByteFieldsSendExactlyTheHexBytesTyped) {
    QLineEdit* spi = edit("lineEdit_spiData");
    QTest::keyClicks(spi, QStringLiteral("zz 9F 00 xyz"));
    EXPECT_EQ(press("pushButton_spiTransfer"), QStringLiteral("spiTransfer 2 9F 00"));
    QLineEdit* data = edit("lineEdit_writeData");
    QTest::keyClicks(data, QStringLiteral(" 0aG F-z9  7 "));
    setSpin("spinBox_returnBytes", 1);
    EXPECT_EQ(press("pushButton_WRBytes"), QStringLiteral("WRBytes 2a 3 1 0a F9 7"));
    EXPECT_EQ(press("pushButton_sendRaw"), QStringLiteral("SendRaw 1 0a F9 7"));
}

TEST_F(PanelTest, ConsoleCommandsAreForwarded) {
    QSignalSpy sent(&panel, &I2CCommand::sig_commandEntered);
    auto* line = panel.console()->findChild<QLineEdit*>(QStringLiteral("lineEdit"));
    line->setText(QStringLiteral("echo hi"));
    QTest::keyClick(line, Qt::Key_Return);
    ASSERT_EQ(sent.count(), 1);
    EXPECT_EQ(sent.at(0).at(0).toString(), QStringLiteral("echo hi"));
}
