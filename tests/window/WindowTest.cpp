#include "WindowTestSupport.h"

#include "AppManager.h"
#include "CommLog.h"
#include "DlgAbout.h"
#include "DeviceAccess.h"
#include "SystemManager.h"
#include "frmMainPage.h"
#include "frmMainPage2.h"
#include "processCommand.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QInputDialog>
#include <QLabel>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTimer>

using windowtest::answerNextDialog;

namespace {

QStringList sentLines(const QSignalSpy& spy) {
    QStringList lines;
    for (const QList<QVariant>& args : spy)
        lines << args.at(0).toString();
    return lines;
}

} // namespace

TEST_F(ConnectedWindowTest, AFailedTransactionTurnsTheKitLabelRed) {
    AppManager::setDeviceAddress(0x70); // nothing answers there
    readByte(0);
    EXPECT_EQ(window->kitLabel()->text(),
              QStringLiteral("<font color='red'>EV Kit: Device not found"));
    const QString shown = QStringLiteral("<font color='black'>") + boardBanner();
    EXPECT_EQ(window->boardLabel()->text(), shown.left(shown.size() - 1));

    AppManager::setDeviceAddress(0x2A);
    readByte(0);
    EXPECT_EQ(window->kitLabel()->text(), QStringLiteral("<font color='black'>EV Kit: Connected"));
}

TEST_F(ConnectedWindowTest, WindowCommandsAreHandledAndOthersForwarded) {
    QSignalSpy forwarded(window.get(), &MainWindow::sig_externalCommand);

    AppManager::setDeviceAddress(0x10);
    window->slt_commandSend(QStringLiteral("setaddress 2A"));
    EXPECT_EQ(AppManager::deviceAddress(), 0x2A);
    AppManager::setDeviceAddress(0x10);
    window->slt_commandSend(QStringLiteral("SETADDRESS 0x2A"));
    EXPECT_EQ(AppManager::deviceAddress(), 0x2A);
    EXPECT_EQ(forwarded.count(), 0);

    window->slt_commandSend(QStringLiteral("setaddress zz"));
    window->slt_commandSend(QStringLiteral("setaddress"));
    EXPECT_EQ(AppManager::deviceAddress(), 0x2A);

    auto* autoRead = window->findChild<QCheckBox*>(QStringLiteral("cbAutoRead"));
    ASSERT_NE(autoRead, nullptr);
    autoRead->setChecked(true);
    window->slt_commandSend(QStringLiteral("autoread 0"));
    EXPECT_FALSE(autoRead->isChecked());
    EXPECT_FALSE(AppManager::autoReadEnabled());
    for (QWidget* page :
         {static_cast<QWidget*>(window->page1()), static_cast<QWidget*>(window->page2())})
        for (QTimer* timer : page->findChildren<QTimer*>())
            EXPECT_FALSE(timer->isActive());
    window->slt_commandSend(QStringLiteral("autoread x"));

    window->slt_commandSend(QStringLiteral("statusmsga \"two  words here\""));
    EXPECT_EQ(window->messageLabel()->text(), QStringLiteral("two  words here"));
    EXPECT_EQ(AppManager::statusMessageA(), QStringLiteral("two  words here"));
    window->slt_commandSend(QStringLiteral("statusmsga"));
    EXPECT_TRUE(window->messageLabel()->text().isEmpty());

    window->slt_commandSend(QString());
    window->slt_commandSend(QStringLiteral("   "));
    window->slt_commandSend(QStringLiteral("ReadByte  2a 0"));

    EXPECT_EQ(sentLines(forwarded),
              (QStringList{QStringLiteral("setaddress zz"), QStringLiteral("setaddress"),
                           QStringLiteral("autoread x"), QStringLiteral("ReadByte  2a 0")}));
}

TEST_F(ConnectedWindowTest, The400kHzActionSendsSetI2CSpeed24) {
    QSignalSpy forwarded(window.get(), &MainWindow::sig_externalCommand);
    QSignalSpy replies(processCommand::instance(), &processCommand::sig_commandProcessed);
    window->findChild<QAction*>(QStringLiteral("action400kHz"))->trigger();
    EXPECT_EQ(sentLines(forwarded), QStringList{QStringLiteral("SetI2CSpeed 24")});
    ASSERT_EQ(replies.count(), 1);
    EXPECT_EQ(replies.at(0).at(1).toString(), QStringLiteral("\tI2C speed changed"));

    window->findChild<QAction*>(QStringLiteral("action100kHz"))->trigger();
    EXPECT_EQ(sentLines(forwarded).last(), QStringLiteral("SetI2CSpeed 30"));
}

TEST_F(ConnectedWindowTest, AScriptRunsItsLinesInOrder) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("mixed.scr"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("# a comment line\n"
               "setaddress 10\n"
               "echo first\n"
               "\n"
               "    \n"
               "setaddress 2A\n"
               "statusmsga \"script running\"\n"
               "readbyte 2A 00\n"
               "echo last\n");
    file.close();

    QSignalSpy forwarded(window.get(), &MainWindow::sig_externalCommand);
    QSignalSpy replies(processCommand::instance(), &processCommand::sig_commandProcessed);
    AppManager::setDeviceAddress(0x50);
    ASSERT_TRUE(window->runScript(path));

    EXPECT_EQ(sentLines(forwarded),
              (QStringList{QStringLiteral("# a comment line\n"), QStringLiteral("echo first\n"),
                           QStringLiteral("readbyte 2A 00\n"), QStringLiteral("echo last\n")}));
    ASSERT_EQ(replies.count(), 3);
    EXPECT_EQ(replies.at(0).at(1).toString(), QStringLiteral("\tfirst\n"));
    EXPECT_TRUE(replies.at(1).at(2).toBool());
    EXPECT_EQ(replies.at(2).at(1).toString(), QStringLiteral("\tlast\n"));
    EXPECT_EQ(AppManager::deviceAddress(), 0x2A);
    EXPECT_EQ(window->messageLabel()->text(), QStringLiteral("script running"));
    EXPECT_FALSE(window->runScript(dir.filePath(QStringLiteral("missing.scr"))));
}

TEST_F(ConnectedWindowTest, TickingABoxChangesTheChipAndTheReadBackShowsIt) {
    auto* enable = window->page1()->findChild<QCheckBox*>(QStringLiteral("cb_ena"));
    ASSERT_NE(enable, nullptr);
    const bool before = enable->isChecked();
    const std::vector<uint8_t> chipBefore = [] {
        std::vector<uint8_t> regs;
        for (uint8_t reg = 0; reg <= 0x16; ++reg)
            regs.push_back(windowtest::board()->chipRegister(reg));
        return regs;
    }();
    enable->click();
    EXPECT_NE(enable->isChecked(), before);
    int changed = 0;
    for (uint8_t reg = 0; reg <= 0x16; ++reg)
        changed += windowtest::board()->chipRegister(reg) != chipBefore[reg];
    EXPECT_EQ(changed, 1);

    window->on_pushButton_Refresh_clicked();
    EXPECT_NE(enable->isChecked(), before);
}

// Text that is no hexadecimal number used to set the address to 0, which was
// then saved; a number typed into the scan's editable list is taken.
TEST_F(ConnectedWindowTest, AddressDialogsTakeHexadecimalNumbersOnly) {
    const struct {
        void (MainWindow::*action)();
        const char* title;
        const char* typed;
        int address;
    } rows[] = {{&MainWindow::on_actionSet_Address_triggered, "Set Address", "zz", 0x2A},
                {&MainWindow::on_actionScan_for_Address_triggered, "Devices Found", "zz", 0x2A},
                {&MainWindow::on_actionScan_for_Address_triggered, "Devices Found", "50", 0x50}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.title + std::string(" ") + row.typed);
        AppManager::setDeviceAddress(0x2A);
        QString title;
        QStringList offered;
        answerNextDialog([&](QWidget* dialog) {
            auto* input = qobject_cast<QInputDialog*>(dialog);
            ASSERT_NE(input, nullptr);
            title = input->windowTitle();
            offered = input->comboBoxItems();
            if (offered.isEmpty()) {
                EXPECT_EQ(input->textValue(), QStringLiteral("2A"));
            }
            input->setTextValue(QString::fromLatin1(row.typed));
            input->accept();
        });
        (window.get()->*row.action)();
        EXPECT_EQ(title, QString::fromLatin1(row.title));
        EXPECT_EQ(offered.isEmpty(), row.action == &MainWindow::on_actionSet_Address_triggered);
        EXPECT_TRUE(offered.isEmpty() || offered.contains(QStringLiteral("0x2A")));
        EXPECT_EQ(AppManager::deviceAddress(), row.address);
    }
    AppManager::setDeviceAddress(0x2A);
}

TEST_F(ConnectedWindowTest, TabsAreInOrder) {
    auto* tabs = window->findChild<QTabWidget*>(QStringLiteral("tabWidget"));
    ASSERT_NE(tabs, nullptr);
    ASSERT_EQ(tabs->count(), 4);
    EXPECT_EQ(tabs->tabText(0), QStringLiteral("RAR4120E_A"));
    EXPECT_EQ(tabs->tabText(1), QStringLiteral("RAR4120E_B"));
    EXPECT_EQ(tabs->tabText(2), QStringLiteral("Debug"));
    EXPECT_EQ(tabs->tabText(3), QStringLiteral("Log"));
    EXPECT_EQ(tabs->currentIndex(), 0);
}

TEST_F(ConnectedWindowTest, AboutShowsTheAboutBox) {
    window->findChild<QAction*>(QStringLiteral("actionAbout"))->trigger();
    ASSERT_NE(window->aboutDialog(), nullptr);
    EXPECT_TRUE(window->aboutDialog()->isVisible());
    window->aboutDialog()->hide();
}

TEST_F(ConnectedWindowTest, CloseSavesTheSettingsAndTheGeometryOfANormalWindowOnly) {
    window->show();
    const QSize size = window->size();
    const QPoint pos = window->pos();
    window->close();
    QSettings ini(QStringLiteral("RAR4120E.ini"), QSettings::IniFormat);
    EXPECT_EQ(ini.value(QStringLiteral("Application/windowSize")).toSize(), size);
    EXPECT_EQ(ini.value(QStringLiteral("Application/windowPosition")).toPoint(), pos);

    AppManager::instance()->saveWindowGeometry(QPoint(12, 34), QSize(800, 600));
    AppManager::setDeviceAddress(0x2C);
    window->showMaximized();
    ASSERT_TRUE(window->isMaximized());
    window->close();
    QSettings zoomed(QStringLiteral("RAR4120E.ini"), QSettings::IniFormat);
    EXPECT_EQ(zoomed.value(QStringLiteral("Device/Address")).toString(), QStringLiteral("0x2C"));
    EXPECT_EQ(zoomed.value(QStringLiteral("Application/windowPosition")).toPoint(), QPoint(12, 34));
    EXPECT_EQ(zoomed.value(QStringLiteral("Application/windowSize")).toSize(), QSize(800, 600));
    AppManager::setDeviceAddress(0x2A);
}
