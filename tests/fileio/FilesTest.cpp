// Saving and loading registers on the simulated kit, and the log's CSV export.
#include "WindowTestSupport.h"

namespace {

// A value per register 0x00 to 0x16 that no power-on value matches.
uint8_t pattern(int reg) {
    return static_cast<uint8_t>(0x5A ^ (reg * 7));
}
// The bits a file writes: none of a read-only register, nor the chip's LoDIM
// status bits 7:4 of 0x03.
constexpr uint8_t kWritable[] = {0x00, 0x00, 0xFF, 0x0F, 0xFF, 0xFF, 0xFF, 0xFF,
                                 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                 0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00, 0xFF};

using RegisterFileTest = ConnectedWindowTest;

TEST_F(RegisterFileTest, SavesOneWritebytePerWritableRegisterAndLoadRestoresThem) {
    QStringList menu;
    for (QAction* action : window->menuBar()->actions().first()->menu()->actions())
        menu << action->text();
    EXPECT_TRUE(menu.contains("Save Registers…") && menu.contains("Load Registers…"));
    for (uint8_t reg = 0x00; reg <= 0x16; ++reg)
        chip().setChipRegister(reg, pattern(reg));
    ASSERT_TRUE(window->saveRegisters(file("kit.scr")));

    QFile saved(file("kit.scr"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly | QIODevice::Text));
    const QStringList lines = QString(saved.readAll()).split('\n', Qt::SkipEmptyParts);
    const QString header = lines.filter(QRegExp("^#")).join('\n');
    EXPECT_TRUE(header.contains("RAR4120E") && header.contains("0x2A") &&
                header.contains(QRegExp("\\d{4}-\\d\\d-\\d\\dT\\d\\d:")))
        << header;
    QStringList writes;
    for (int reg = 0x00; reg <= 0x16; ++reg)
        if (kWritable[reg])
            writes << QString::asprintf("writebyte 2A %02X %02X", reg,
                                        pattern(reg) & kWritable[reg]);
    EXPECT_EQ(lines.filter(QRegExp("^[^#]")), writes);

    // The chip changes: every register, status registers included.
    for (uint8_t reg = 0x00; reg <= 0x16; ++reg)
        chip().setChipRegister(reg, static_cast<uint8_t>(~pattern(reg)));
    QSignalSpy events(SystemManager::instance(), &SystemManager::sig_commEvent);
    ASSERT_TRUE(window->loadRegisters(file("kit.scr")));
    for (uint8_t reg = 0x00; reg <= 0x16; ++reg)
        EXPECT_EQ(chip().chipRegister(reg),
                  (pattern(reg) & kWritable[reg]) | (~pattern(reg) & ~kWritable[reg] & 0xFF))
            << int(reg);
    EXPECT_EQ(
        std::count_if(events.begin(), events.end(),
                      [](const QList<QVariant>& e) { return e.at(0).toInt() == kCommEventWrite; }),
        17);
    // The pages show what was loaded.
    EXPECT_EQ(SystemManager::instance()->getRegister(0x16), chip().chipRegister(0x16));
}

// Through the menu: a cancelled dialog saves nothing; a name without a suffix gets the first
// filter's, ".txt" on Windows (where .scr files run as screen savers), else ".scr".
TEST_F(RegisterFileTest, SaveRegistersSavesWhereTheDialogSaysOnly) {
    for (bool accept : {false, true}) {
        windowtest::answerNextDialog([&](QWidget* dialog) {
            auto* files = qobject_cast<QFileDialog*>(dialog);
            ASSERT_NE(files, nullptr);
            files->setDirectory(dir.path());
            // The name as typed: selectFile() waits for the folder's listing.
            files->findChild<QLineEdit*>("fileNameEdit")->setText("chosen");
            QMetaObject::invokeMethod(files, accept ? "accept" : "reject");
        });
        trigger("actionSave_Registers");
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files),
#ifdef _WIN32
                  accept ? QStringList{"chosen.txt"} : QStringList{});
#else
                  accept ? QStringList{"chosen.scr"} : QStringList{});
#endif
    }
}

// Every period over the chip at power-on (0), at the longest period (1) and with
// the demo defaults shown (2); on-times every period keeps (TON1 = 1024 counts).
TEST_F(RegisterFileTest, LoadLeavesEveryWritableRegisterAtTheFilesValue) {
    std::map<int, int> powerOn, values;
    for (uint8_t reg = 0x00; reg <= 0x16; ++reg) {
        powerOn[reg] = chip().chipRegister(reg);
        if (kWritable[reg]) values[reg] = pattern(reg) & kWritable[reg];
    }
    values[0x05] = 0x01;
    values[0x06] = 0x00;
    values[0x0D] = 0xFC;
    for (int fpwm = 0; fpwm < 8; ++fpwm) {
        for (int before : {0, 1, 2}) {
            SCOPED_TRACE(testing::Message() << "FPWM " << fpwm << ", before " << before);
            for (const auto& [reg, value] : powerOn)
                chip().setChipRegister(reg, value);
            for (int reg = 0x05; before && reg <= 0x0E; ++reg)
                chip().setChipRegister(reg, reg == 0x0E ? 0x00 : 0xFF);
            window->on_pushButton_Refresh_clicked();
            if (before == 2) {
                window->page1()->loadDefaults();
                window->page2()->loadDefaults();
            }
            values[0x0E] = fpwm << 4 | 0x85;
            QByteArray text;
            for (const auto& [reg, value] : values)
                text += QString::asprintf("writebyte 2A %02X %02X\n", reg, value).toLatin1();
            QStringList notTaken;
            EXPECT_TRUE(window->loadRegisters(file("kit.scr", text), &notTaken));
            EXPECT_EQ(notTaken, QStringList());
            for (const auto& [reg, value] : values)
                EXPECT_EQ(chip().chipRegister(reg) & kWritable[reg], value) << "register " << reg;
        }
    }
}

TEST_F(RegisterFileTest, FailuresAreReportedAndTheSavedFileRunsInTheCommandLineRunner) {
    QStringList notTaken;
    EXPECT_FALSE(window->loadRegisters(file("two.scr", "writebyte 2A 04 80\nwritebyte 2C 05 12\n"),
                                       &notTaken));
    ASSERT_EQ(notTaken.size(), 1);
    EXPECT_TRUE(notTaken.first().contains("0x05")) << notTaken.first().toStdString();
    EXPECT_EQ(chip().chipRegister(0x04), 0x80);

    ASSERT_TRUE(window->saveRegisters(file("kit.scr")));
    QProcess cli;
    cli.start(RAR4120E_CLI, {"--simulator", file("kit.scr")});
    ASSERT_TRUE(cli.waitForFinished(60000));
    EXPECT_EQ(cli.exitCode(), 0) << cli.readAllStandardOutput().toStdString();

    AppManager::setDeviceAddress(0x50);
    EXPECT_FALSE(window->saveRegisters(file("none.scr")));
    EXPECT_FALSE(QFile::exists(file("none.scr")));
}

// "Export CSV…": the rows oldest first under the headers, awkward cells quoted.

TEST(CsvExport, EveryRowOldestFirstUnderTheHeadersWithAwkwardCellsQuoted) {
    CommLog log(nullptr, false);
    QTemporaryDir dir;
    EXPECT_EQ(log.exportCsvAction()->text(), "Export CSV…");
    EXPECT_FALSE(log.exportCsv(dir.filePath("missing/log.csv")));
    const auto exported = [&] {
        QFile file(dir.filePath("log.csv"));
        if (!log.exportCsv(file.fileName()) || !file.open(QIODevice::ReadOnly)) return QByteArray();
        return file.readAll();
    };
    QByteArray expected = "Time,CMD,Register,Data,Result\r\n";
    EXPECT_EQ(exported(), expected);

    emit SystemManager::instance()->sig_commEvent(kCommEventRead, 0x04, 8, 0x80, 1);
    emit SystemManager::instance()->sig_commEvent(kCommEventWrite, 0x50, 8, 0x00, 0);
    emit SystemManager::instance()->sig_commEvent(kCommEventRead, 0x05, 16, 0x1234, 1);
    const QStringList awkward{"a,b", "say \"hi\"", "two\nlines", "cr\r\nlf", "plain"};
    log.model()->insertRow(0);
    for (int column = 0; column < awkward.size(); ++column)
        log.model()->setItem(0, column, new QStandardItem(awkward[column]));
    const char* rows[] = {",ReadByte,0x04,0x80,OK\r\n", ",WriteByte,0x50,0x00,FAIL\r\n",
                          ",ReadWord,0x05,0x1234,OK\r\n"};
    for (int row = 0; row < 3; ++row)
        expected += log.model()->item(3 - row, 0)->text().toUtf8() + rows[row];
    expected += "\"a,b\",\"say \"\"hi\"\"\",\"two\nlines\",\"cr\r\nlf\",plain\r\n";
    EXPECT_EQ(exported(), expected);
}

} // namespace
