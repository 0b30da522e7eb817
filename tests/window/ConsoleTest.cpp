// The log view, the console and the low-level panel, as widgets of their own.
#include "WindowTestSupport.h"

namespace {

void emitEvent(uint8_t cmd, uint8_t reg, uint8_t size, uint32_t data, uint8_t ok) {
    emit SystemManager::instance()->sig_commEvent(cmd, reg, size, data, ok);
}

// The cells of a row of the log, from column from on.
QStringList row(const CommLog& log, int row, int from = 1) {
    QStringList cells;
    for (int column = from; column < 5; ++column)
        cells << log.model()->item(row, column)->text();
    return cells;
}

TEST(CommLogView, RowsShowTheEventsNewestFirstAndKeepTheNewest399) {
    CommLog log(nullptr, true);
    const std::tuple<uint8_t, uint8_t, uint8_t, uint32_t, uint8_t, const char*> events[] = {
        {0, 0x04, 8, 0x80, 1, "ReadByte 0x04 0x80 OK"},
        {1, 0x05, 16, 0x1234, 1, "WriteWord 0x05 0x1234 OK"},
        {1, 0x06, 32, 0x12345678, 1, "WriteDWord 0x06 0x5678 OK"},
        {0, 0x07, 8, 0x1FF, 0, "ReadByte 0x07 0xFF FAIL"},
        {2, 0x08, 8, 0, 1, "Unknown 0x08"}};
    for (const auto& [cmd, reg, size, data, ok, shown] : events) {
        emitEvent(cmd, reg, size, data, ok);
        EXPECT_TRUE(row(log, 0).join(' ').startsWith(shown)) << row(log, 0).join(' ');
    }
    ASSERT_EQ(log.model()->rowCount(), 5);
    EXPECT_EQ(row(log, 4).join(' '), "ReadByte 0x04 0x80 OK");
    EXPECT_TRUE(QRegExp("\\d\\d:\\d\\d:\\d\\d").exactMatch(row(log, 4, 0)[0]));
    EXPECT_FALSE(log.model()->item(4, 2)->flags() & Qt::ItemIsEditable);
    for (int i = 0; i < 400; ++i)
        emitEvent(1, static_cast<uint8_t>(i), 16, static_cast<uint32_t>(i), 1);
    ASSERT_EQ(log.model()->rowCount(), 399);
    EXPECT_EQ(row(log, 0)[2], "0x018F");
    EXPECT_EQ(row(log, 398)[2], "0x0001");
}

TEST(CommLogView, UsersRowsOutliveAutoReadAndHidingAutoReadHidesOldRowsFromViewCopyAndCsv) {
    CommLog log(nullptr, true);
    log.hideAutoReadBox()->setChecked(false);
    const auto autoRead = [&](int count) {
        log.setAutoReadActive(true);
        for (int i = 0; i < count; ++i)
            emitEvent(0, static_cast<uint8_t>(i % 23), 8, 0x12, 1);
        log.setAutoReadActive(false);
    };
    autoRead(399);
    emitEvent(1, 0x02, 8, 0x0A, 1);
    autoRead(500);
    ASSERT_EQ(log.model()->rowCount(), 399);
    EXPECT_EQ(row(log, 398), (QStringList{"WriteByte", "0x02", "0x0A", "OK"}));
    EXPECT_EQ(row(log, 397)[0], "ReadByte");

    QAbstractItemModel* shown = log.table()->model();
    for (const bool hide : {true, false, true}) {
        log.hideAutoReadBox()->setChecked(hide);
        EXPECT_EQ(shown->rowCount(), hide ? 1 : 399);
    }
    EXPECT_EQ(shown->index(0, 1).data().toString(), "WriteByte");
    const QString time = row(log, 398, 0)[0];
    EXPECT_EQ(log.csvText(),
              "Time,CMD,Register,Data,Result\r\n" + time + ",WriteByte,0x02,0x0A,OK\r\n");
    log.slt_ctrlA();
    log.slt_ctrlC();
    EXPECT_EQ(QApplication::clipboard()->text(), time + "\tWriteByte\t0x02\t0x0A\tOK");
    log.hideAutoReadBox()->setChecked(false);
}

TEST(CommLogView, CopiesTheSelectedRowsAndClearsFromTheContextMenu) {
    CommLog log(nullptr, true);
    emitEvent(0, 0x01, 8, 0x11, 1);
    emitEvent(1, 0x02, 8, 0x22, 0);
    emitEvent(0, 0x03, 8, 0x33, 1);
    QApplication::clipboard()->setText("unchanged");
    log.slt_ctrlC();
    EXPECT_EQ(QApplication::clipboard()->text(), "unchanged");
    log.table()->selectRow(1);
    log.table()->selectionModel()->select(log.table()->model()->index(0, 0),
                                          QItemSelectionModel::Select | QItemSelectionModel::Rows);
    log.slt_ctrlC();
    EXPECT_EQ(QApplication::clipboard()->text(),
              row(log, 0, 0).join('\t') + "\n" + row(log, 1, 0).join('\t'));

    QStringList offered;
    QTimer::singleShot(0, [&offered] { // runs in the menu's own event loop
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        for (QAction* action : menu->actions()) {
            offered << action->text();
            if (action->text() == "Clear Log") menu->setActiveAction(action);
        }
        QTest::keyClick(menu, Qt::Key_Return);
    });
    log.slt_logContextMenu(QPoint(1, 1));
    EXPECT_EQ(offered, (QStringList{"Clear Log", "Copy Selection", "Export CSV…"}));
    EXPECT_EQ(log.model()->rowCount(), 0);
    emitEvent(0, 0x03, 8, 0x33, 1);
    EXPECT_EQ(row(log, 0), (QStringList{"ReadByte", "0x03", "0x33", "OK"}));
}

TEST(Console, HistoryKeepsTheNewest101AndWalksWithUpAndDownAndScrollbackTheNewestLines) {
    ConsoleBox console;
    auto* line = console.findChild<QLineEdit*>("lineEdit");
    QSignalSpy entered(&console, &ConsoleBox::sig_commandEntered);
    const auto key = [&](Qt::Key k) {
        QTest::keyClick(line, k);
        return line->text();
    };
    EXPECT_EQ(key(Qt::Key_Up), "");
    EXPECT_EQ(key(Qt::Key_Return), "");
    for (int i = 1; i <= 102; ++i) {
        line->setText(QStringLiteral("cmd %1").arg(i));
        EXPECT_EQ(key(Qt::Key_Return), "");
    }
    EXPECT_EQ(entered.count(), 102);
    ASSERT_EQ(console.history().size(), 101);
    EXPECT_EQ(console.history().last(), "cmd 2");
    QStringList walk;
    for (Qt::Key k : {Qt::Key_Up, Qt::Key_Up, Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Up})
        walk << key(k).mid(4);
    EXPECT_EQ(walk, (QStringList{"102", "101", "101", "102", "102", "102"}));
    // A new line starts the walk again from the newest.
    line->setText("new");
    key(Qt::Key_Return);
    EXPECT_EQ(key(Qt::Key_Up), "new");

    for (int i = 0; i < ConsoleBox::kScrollbackLines + 50; ++i)
        console.printText(QString::number(i), Qt::black, false);
    const QTextEdit* edit = console.findChild<QTextEdit*>();
    EXPECT_EQ(edit->document()->blockCount(), ConsoleBox::kScrollbackLines);
    EXPECT_TRUE(edit->toPlainText().endsWith(QString::number(ConsoleBox::kScrollbackLines + 49)));
}

TEST(Panel, ButtonsComposeTheirCommandsFromTheHexBytesTyped) {
    AppManager::setDeviceAddress(0x2A);
    I2CCommand panel;
    QSignalSpy sent(&panel, &I2CCommand::sig_commandEntered);
    const auto press = [&](const std::string& name) {
        sent.clear();
        panel.findChild<QPushButton*>(QString::fromStdString("pushButton_" + name))->click();
        return sent.count() == 1 ? sent.at(0).at(0).toString() : "no command";
    };
    panel.findChild<QSpinBox*>("spinBox_reg")->setValue(5);
    panel.findChild<QSpinBox*>("spinBox_data")->setValue(0x1234);
    panel.findChild<QSpinBox*>("spinBox_dataByte")->setValue(0xA5);
    panel.findChild<QSpinBox*>("spinBox_returnBytes")->setValue(1);
    // Rejected characters and extra blanks add no empty bytes.
    QTest::keyClicks(panel.findChild<QLineEdit*>("lineEdit_spiData"), "zz 9F 00 xyz");
    QTest::keyClicks(panel.findChild<QLineEdit*>("lineEdit_writeData"), " 0aG F-z9  7 ");
    // Each button's name, then its command.
    for (const QString row :
         {"Start I2CStart", "RStart I2CRepeatedStart", "Stop I2CStop", "readAck Receive8 1",
          "readNack Receive8 0", "Write8 Write8 a5", "readByte ReadByte 2a 5",
          "readWord ReadWord 2a 5", "writeByte WriteByte 2a 5 1234",
          "writeWord WriteWord 2a 5 1234", "csAssert spiCsAssert", "csDeassert spiCsDeassert",
          "spiTransfer spiTransfer 2 9F 00", "WRBytes WRBytes 2a 3 1 0a F9 7",
          "sendRaw SendRaw 1 0a F9 7"})
        EXPECT_EQ(press(row.section(' ', 0, 0).toStdString()), row.section(' ', 1));
    sent.clear();
    panel.findChild<QSpinBox*>("spinBox_CSPin")->setValue(7);
    auto* line = panel.console()->findChild<QLineEdit*>("lineEdit");
    line->setText("echo hi");
    QTest::keyClick(line, Qt::Key_Return);
    EXPECT_EQ(windowtest::sentLines(sent), (QStringList{"spiCsPin 7", "echo hi"}));
}

} // namespace
