// The connected main window: commands, actions, dialogs, scripts, status bar, closing.
#include "StatusLabel.h"
#include "WindowPlacement.h"
#include "WindowTestSupport.h"
#include "processCommand.h"

using namespace windowtest;

namespace {

QString transcript(MainWindow& window) {
    return window.debugPanel()->console()->findChild<QTextEdit*>()->toPlainText();
}

QVariant ini(const char* key) {
    return QSettings("RAR4120E.ini", QSettings::IniFormat).value(key);
}

using WindowTest = ConnectedWindowTest;

// Auto Read on, ticking every 100 ms; the page 1 timer.
QTimer* autoReadEvery100ms(MainWindow& window) {
    AppManager::setAutoReadTimeout(100);
    window.findChild<QCheckBox*>("cbAutoRead")->setChecked(true);
    return window.page1()->findChild<QTimer*>("autoReadTimer");
}

TEST_F(WindowTest, AFailedTransactionTurnsTheKitLabelRedAndAutoReadPausesOnce) {
    const QString banner = "<font color='black'>" + boardBanner();
    EXPECT_EQ(window->boardLabel()->text(), banner.left(banner.size() - 1));
    QTimer* autoRead = autoReadEvery100ms(*window);
    AppManager::setDeviceAddress(0x70);
    ASSERT_TRUE(processEventsUntil([&] { return !autoRead->isActive(); }));
    EXPECT_EQ(window->commLog()->model()->item(0, 4)->text(),
              "No answer at address 0x70: auto-read paused until a read succeeds.");
    EXPECT_EQ(window->kitLabel()->text(), "<font color='red'>EV Kit: Device not found");
    EXPECT_EQ(window->boardLabel()->text(), banner.left(banner.size() - 1));
    AppManager::setDeviceAddress(0x2A);
    trigger("actionRefresh");
    EXPECT_EQ(window->kitLabel()->text(), "<font color='black'>EV Kit: Connected");
    EXPECT_TRUE(autoRead->isActive());
}

TEST_F(WindowTest, WindowCommandsAreHandledAndOthersForwarded) {
    QSignalSpy forwarded(window.get(), &MainWindow::sig_externalCommand);
    QSignalSpy replies(processCommand::instance(), &processCommand::sig_commandProcessed);
    auto* autoRead = window->findChild<QCheckBox*>("cbAutoRead");
    autoRead->setChecked(true);
    AppManager::setDeviceAddress(0x10);
    for (const char* line :
         {"setaddress 2A", "setaddress zz", "setaddress", "autoread 0", "autoread x", "", "   ",
          "statusmsga \"two  words here\"", "ReadByte  2a 0"})
        window->slt_commandSend(line);
    trigger("action400kHz");
    trigger("action100kHz");
    EXPECT_EQ(sentLines(forwarded),
              (QStringList{"setaddress zz", "setaddress", "autoread x", "ReadByte  2a 0",
                           "SetI2CSpeed 24", "SetI2CSpeed 30"}));
    ASSERT_EQ(replies.count(), 6);
    EXPECT_EQ(replies.at(4).at(1).toString(), "\tI2C speed changed");
    EXPECT_EQ(AppManager::deviceAddress(), 0x2A);
    EXPECT_FALSE(autoRead->isChecked() || AppManager::autoReadEnabled());
    for (QWidget* page : {(QWidget*)window->page1(), (QWidget*)window->page2()})
        for (QTimer* timer : page->findChildren<QTimer*>())
            EXPECT_FALSE(timer->isActive());
    EXPECT_EQ(window->messageLabel()->text(), "two  words here");
    window->slt_commandSend("statusmsga");
    EXPECT_EQ(window->messageLabel()->text(), "");
    window->slt_commandSend("SETADDRESS 0x50");
    EXPECT_EQ(AppManager::deviceAddress(), 0x50);
}

TEST_F(WindowTest, AScriptRunsItsLinesInOrderAndSaysHowItEnded) {
    const QString path = file("mixed.scr", "# a comment line\nsetaddress 10\necho first\n\n    \n"
                                           "setaddress 2A\nstatusmsga \"script running\"\n"
                                           "readbyte 2A 00\nbogus\necho last\n");
    QSignalSpy forwarded(window.get(), &MainWindow::sig_externalCommand);
    AppManager::setDeviceAddress(0x50);
    ASSERT_TRUE(window->runScript(path));
    EXPECT_EQ(sentLines(forwarded), (QStringList{"# a comment line\n", "echo first\n",
                                                 "readbyte 2A 00\n", "bogus\n", "echo last\n"}));
    EXPECT_TRUE(
        transcript(*window).endsWith("echo last\n\tlast\n\nScript finished: 10 lines, 1 failed."))
        << transcript(*window).right(80);
    EXPECT_EQ(AppManager::deviceAddress(), 0x2A);
    EXPECT_EQ(window->messageLabel()->text(), "");
    EXPECT_FALSE(window->runScript(file("missing.scr")));
}

TEST_F(WindowTest, EscEndsAScriptsWaitEvenAfterAMenuClosedSaysWhereAndRestoresTheStatusBar) {
    window->show();
    QApplication::setActiveWindow(window.get());
    window->slt_commandSend("statusmsga before");
    QString lines = "statusmsga first\n" + QString("readbyte 2A 00\n").repeated(10) +
                    "wait 600000\n" + QString("statusmsga x\n").repeated(38);
    ASSERT_TRUE(window->startScript(file("w.scr", lines.toUtf8())));
    ASSERT_TRUE(QTest::qWaitFor([&] { return transcript(*window).endsWith("\t12\nwait 600000"); },
                                kGiveUpMs));
    EXPECT_EQ(window->messageLabel()->text(), "first");
    // A menu opened from the menu bar and closed with Esc leaves the bar
    // holding the keys.
    QMenuBar* bar = window->menuBar();
    auto* device = window->findChild<QMenu*>("menuDevice");
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(device->menuAction()).center());
    ASSERT_TRUE(QTest::qWaitFor([&] { return device->isVisible(); }, kGiveUpMs));
    QTest::keyClick(device, Qt::Key_Escape);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !device->isVisible(); }, kGiveUpMs));
    EXPECT_TRUE(window->scriptRunning());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
    EXPECT_FALSE(window->scriptRunning());
    EXPECT_TRUE(transcript(*window).endsWith("wait 600000\nScript stopped after line 12 of 50."))
        << transcript(*window).right(80);
    EXPECT_EQ(window->messageLabel()->text(), "before");
    EXPECT_EQ(AppManager::statusMessageA(), "before");

    // Stopped between lines: the line that runs ends, no later one starts.
    QObject::connect(SystemManager::instance(), &SystemManager::sig_commEvent, window.get(),
                     [this] { trigger("actionStop"); });
    ASSERT_TRUE(window->runScript(file("s.scr", "writebyte 2A 05 11\nwritebyte 2A 05 22\n")));
    EXPECT_EQ(chip().chipRegister(0x05), 0x11);
}

TEST_F(WindowTest, AScriptsOpenTransactionGetsNoAutoReadInsideIt) {
    QTimer* autoRead = autoReadEvery100ms(*window);
    ASSERT_TRUE(autoRead->isActive());
    chip().clearTraffic();
    ASSERT_TRUE(
        window->runScript(file("raw.scr", "i2cstart\nwrite8 54\nwait 600\nwrite8 02\ni2cstop\n")));
    // The script's four bus lines, nothing between them.
    EXPECT_EQ(chip().hostWrites(), 4u);
    EXPECT_TRUE(autoRead->isActive());
}

TEST_F(WindowTest, ALostBoardStopsAutoReadWithOneRowGreysThePagesAndF9Reconnects) {
    QTimer* autoRead = autoReadEvery100ms(*window);
    QStandardItemModel* log = window->commLog()->model();
    log->setRowCount(0);
    chip().unplug();
    ASSERT_TRUE(processEventsUntil([&] { return !autoRead->isActive(); }));
    EXPECT_EQ(window->boardLabel()->text(), "<font color='red'>PODLINK: Board lost, F9 reconnects");
    ASSERT_EQ(log->rowCount(), 2);
    EXPECT_EQ(log->item(0, 4)->text(), "Board lost: auto-read stopped. Press F9 to reconnect.");
    EXPECT_EQ(log->item(1, 4)->text(), "FAIL");
    EXPECT_FALSE(window->page1()->isEnabled() || window->page2()->isEnabled());

    chip().replug();
    AppManager::setDemoMode(true); // a search that finds nothing asks nothing
    trigger("actionConnect");
    ASSERT_TRUE(processEventsUntil([&] { return !window->searching(); }));
    EXPECT_TRUE(window->page1()->isEnabled() && window->page2()->isEnabled());
    EXPECT_TRUE(autoRead->isActive());
}

// F9 pressed while Write All runs (the log lets the window answer between
// its writes) searches once every register is written.
TEST_F(WindowTest, F9DuringWriteAllWaitsForAllItsWrites) {
    QSignalSpy events(SystemManager::instance(), &SystemManager::sig_commEvent);
    QObject::connect(SystemManager::instance(), &SystemManager::sig_commEvent, window.get(),
                     [this, pressed = false]() mutable {
                         if (!std::exchange(pressed, true)) trigger("actionConnect");
                     });
    window->on_pushButton_WriteAll_clicked();
    ASSERT_EQ(events.count(), 17);
    ASSERT_TRUE(processEventsUntil([&] { return events.count() > 17 && !window->searching(); }));
}

// Text that is no hex number once set the address to 0; the scan's list takes a typed one.
TEST_F(WindowTest, AddressDialogsTakeHexadecimalNumbersOnly) {
    const std::tuple<const char*, const char*, int> rows[] = {
        {"actionSet_Address", "zz", 0x2A},
        {"actionScan_for_Address", "zz", 0x2A},
        {"actionScan_for_Address", "50", 0x50}};
    for (const auto& [action, typed, address] : rows) {
        SCOPED_TRACE(std::string(action) + " " + typed);
        const bool setAddress = action == std::string("actionSet_Address");
        AppManager::setDeviceAddress(0x2A);
        answerNextDialog([&](QWidget* dialog) {
            auto* input = qobject_cast<QInputDialog*>(dialog);
            ASSERT_NE(input, nullptr);
            EXPECT_EQ(input->windowTitle(), setAddress ? "Set Address" : "Devices Found");
            EXPECT_EQ(input->comboBoxItems().isEmpty(), setAddress);
            EXPECT_TRUE(setAddress ? input->textValue() == "2A"
                                   : input->comboBoxItems().contains("0x2A"));
            if (!setAddress) { // the title beside the title bar's icon and three buttons
                const QFontMetrics metrics = input->fontMetrics();
                EXPECT_GE(input->width(),
                          metrics.horizontalAdvance("Devices Found") + 12 * metrics.height());
            }
            input->setTextValue(typed);
            QTest::keyClick(input->focusWidget(), Qt::Key_Return);
            if (input->isVisible()) input->reject(); // Return did not take the choice
        });
        trigger(action);
        EXPECT_EQ(AppManager::deviceAddress(), address);
    }
}

TEST_F(WindowTest, TabsAboutStatusBarAndTooltips) {
    auto* tabs = window->findChild<QTabWidget*>("tabWidget");
    QStringList titles;
    for (int tab = 0; tab < tabs->count(); ++tab)
        titles << tabs->tabText(tab);
    EXPECT_EQ(titles, (QStringList{"RAR4120E_A", "RAR4120E_B", "Debug", "Log"}));
    EXPECT_EQ(tabs->currentIndex(), 0);
    trigger("actionAbout");
    ASSERT_TRUE(window->aboutDialog() && window->aboutDialog()->isVisible());
    window->aboutDialog()->hide();

    window->show();
    EXPECT_EQ(window->addressLabel()->text(), "I2C 0x2A");
    window->slt_commandSend("setaddress 50");
    EXPECT_EQ(window->addressLabel()->text(), "I2C 0x50");
    // Message, board, kit and address, left to right.
    EXPECT_TRUE(window->messageLabel()->x() < window->boardLabel()->x() &&
                window->boardLabel()->x() < window->kitLabel()->x() &&
                window->kitLabel()->x() < window->addressLabel()->x());
    const QString longText(200, 'x');
    window->slt_commandSend("statusmsga " + longText);
    auto* label = static_cast<StatusLabel*>(window->messageLabel());
    EXPECT_EQ(label->text(), longText);
    EXPECT_TRUE(label->shownText().endsWith(QChar(0x2026)) &&
                label->shownText().size() < longText.size());

    const QString ena = window->page1()->findChild<QCheckBox*>("cb_ena")->toolTip();
    EXPECT_TRUE(ena.startsWith("ENA: register 0x02 ISET, bit ")) << ena;
    auto* tdim = window->page1()->findChild<QComboBox*>("comboBox_tdim");
    EXPECT_TRUE(tdim->toolTip().contains("7 = (reserved)"));
    for (int code = 0; code < tdim->count(); ++code)
        EXPECT_FALSE(tdim->itemText(code).trimmed().isEmpty()) << code;
}

std::string paramName(const testing::TestParamInfo<const char*>& info) {
    return QString(info.param).remove(' ').toStdString();
}

// The window fits a 1366x768 screen less 80 pixels of taskbar and title bar, with room to spare,
// whichever sans font stands in for the style sheet's Arial (Liberation Sans has its metrics), and
// cuts no text of the pages or the status bar; text 1.5 or 2 times as large, as 144 or 192 dpi
// draw it ("Liberation Sans 150"), fits a screen as many times as large.
class LeastSize : public ConnectedWindowTest, public testing::WithParamInterface<const char*> {};

TEST_P(LeastSize, FitsALaptopScreenAndCutsNoText) {
    QString family = GetParam();
    const double scale = std::max(100, family.section(' ', -1).toInt()) / 100.0;
    family.remove(QRegularExpression(" \\d+$"));
    // Fontconfig may name the foundry too: "Nimbus Sans [urw]".
    const QRegularExpression named("^" + family + "( \\[.*\\])?$");
    if (QFontDatabase().families().filter(named).isEmpty())
        GTEST_SKIP() << family << " is not installed (scripts/install-deps.sh installs it)";
    QFile sheet(QCoreApplication::applicationDirPath() + "/STYLE/stylesheet.qss");
    ASSERT_TRUE(sheet.open(QIODevice::ReadOnly)) << sheet.fileName();
    const QString font = "'" + family + "'", size = QString("%1pt").arg(11 * scale);
    window->show(); // the status bar's labels count only when shown
    qApp->setStyleSheet(
        QString::fromUtf8(sheet.readAll()).replace("Arial", font).replace("11pt", size));
    for (QWidget* widget : window->findChildren<QWidget*>() + QList<QWidget*>{window.get()})
        widget->setStyleSheet(widget->styleSheet().replace("Arial", font).replace("11pt", size));
    QApplication::processEvents(); // the layouts take up the new sizes
    const QString used = QFontInfo(window->debugPanel()->font()).family();
    const QSize least = window->minimumSizeHint().expandedTo(window->minimumSize());
    EXPECT_TRUE(named.match(used).hasMatch()) << "measured with " << used;
    EXPECT_TRUE(least.width() <= 1366 * scale && least.height() <= 660 * scale)
        << family << ": " << least.width() << "x" << least.height();
    window->resize(least);
    for (QWidget* page : {(QWidget*)window->page1(), (QWidget*)window->page2()}) {
        window->findChild<QTabWidget*>("tabWidget")->setCurrentIndex(page == window->page2());
        QApplication::processEvents();
        for (QWidget* text :
             page->findChildren<QWidget*>() + window->statusBar()->findChildren<QWidget*>()) {
            const QRegularExpression showsText("Label|Button|CheckBox|ComboBox|SpinBox");
            if (!text->isVisible() || !showsText.match(text->metaObject()->className()).hasMatch())
                continue;
            EXPECT_TRUE(text->rect().contains(QRect(QPoint(), text->sizeHint())))
                << text->objectName() << text->property("text").toString();
        }
    }
    qApp->setStyleSheet(QString());
}

INSTANTIATE_TEST_SUITE_P(Window, LeastSize,
                         testing::Values("Liberation Sans", "DejaVu Sans", "Nimbus Sans",
                                         "Liberation Sans 150", "Liberation Sans 200"),
                         paramName);

TEST_F(WindowTest, CloseSavesTheSettingsAndTheGeometryOfANormalWindowOnly) {
    window->show();
    const QSize size = window->size();
    const QPoint pos = window->pos();
    window->close();
    EXPECT_EQ(ini("Application/windowSize").toSize(), size);
    EXPECT_EQ(ini("Application/windowPosition").toPoint(), pos);
    AppManager::instance()->saveWindowGeometry(QPoint(12, 34), QSize(800, 600));
    AppManager::setDeviceAddress(0x2C);
    window->showMaximized();
    ASSERT_TRUE(window->isMaximized());
    window->close();
    EXPECT_EQ(ini("Device/Address").toString(), "0x2C");
    EXPECT_EQ(ini("Application/windowPosition").toPoint(), QPoint(12, 34));
    EXPECT_EQ(ini("Application/windowSize").toSize(), QSize(800, 600));
}

// Available areas of the screens there are, the primary first; a stored frame; where it opens.
TEST(WindowPlacement, OnTheScreenThatHoldsItElseOnThePrimaryAndWhole) {
    const QRect primary(0, 0, 1920, 1040), right(1920, 0, 1280, 984), left(-1600, 100, 1600, 860);
    const std::tuple<const char*, QVector<QRect>, QRect, QPoint> rows[] = {
        {"on the second screen", {primary, right}, {2000, 50, 1000, 700}, {2000, 50}},
        {"on a screen that is gone", {primary}, {2000, 50, 1000, 700}, {920, 50}},
        {"mostly on the second screen", {primary, right}, {1500, 100, 1000, 600}, {1920, 100}},
        {"partly off the right edge", {primary}, {1500, 200, 1000, 700}, {920, 200}},
        {"on a screen to the left", {primary, left}, {-1500, 150, 1000, 700}, {-1500, 150}},
        {"larger than the screen", {primary}, {100, 100, 2500, 1200}, {0, 0}}};
    for (const auto& [where, screens, frame, position] : rows)
        EXPECT_EQ(windowPosition(screens, frame), position) << where;
}

TEST_F(WindowTest, SettingsThatCannotBeSavedAreToldOnceNamingTheFile) {
    QFile::remove("RAR4120E.ini");
    ASSERT_TRUE(QDir().mkdir("RAR4120E.ini")); // even root cannot write the file then
    window->show();
    ASSERT_TRUE(processEventsUntil([&] { return window->findChild<QMessageBox*>(); }));
    const QString path = QDir::toNativeSeparators(QDir::current().absoluteFilePath("RAR4120E.ini"));
    const QString told = window->findChild<QMessageBox*>()->text();
    EXPECT_TRUE(told.startsWith("Settings cannot be saved to " + path + ": ")) << told;
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr); // the window stays usable
    bool toldAgain = false;
    QTimer::singleShot(0, [&] {
        if (QWidget* again = QApplication::activeModalWidget()) toldAgain = again->close();
    });
    window->close();
    QApplication::processEvents();
    EXPECT_FALSE(toldAgain || window->isVisible());
    EXPECT_EQ(window->findChildren<QMessageBox*>().size(), 1);
    EXPECT_TRUE(QDir().rmdir("RAR4120E.ini"));
}

TEST_F(WindowTest, ErrorsNameWhatFailedAndChangeNothing) {
    // Help without a program for the file (the offscreen desktop has none).
    const QString help = nextMessage([&] { trigger("actionCommand_Reference"); });
#ifdef _WIN32
    EXPECT_TRUE(help.contains("help.chm")) << help;
#else
    EXPECT_TRUE(help.contains("/help/commands.html")) << help;
#endif
    // A file that is no register file is not run: nothing reaches the chip.
    const std::pair<const char*, const char*> rows[] = {
        {"# registers\nwritebyte 2A 02 0A\nwritebyte 2A 05 11\nhello world\n", ", line 4:"},
        {"writebyte 2A 15 FF\n", ", line 1: register 0x15 is not a writable"}};
    for (const auto& [text, message] : rows) {
        const QString path = file("notes.scr", text);
        chip().clearTraffic();
        bool loaded = true;
        const QString shown = nextMessage([&] { loaded = window->loadRegisters(path); });
        EXPECT_FALSE(loaded);
        EXPECT_TRUE(shown.contains(path + message)) << shown;
        EXPECT_EQ(chip().hostWrites(), 0u);
    }
}

TEST_F(WindowTest, LinesFromTheLogsPromptAreKeptAndEchoedBeforeTheirReply) {
    window->commLog()->prompt()->setText("echo hello");
    QTest::keyClick(window->commLog()->prompt(), Qt::Key_Return);
    QTest::keyClick(window->commLog()->prompt(), Qt::Key_Return);
    EXPECT_TRUE(transcript(*window).endsWith("echo hello\n\thello\necho hello\n\thello"))
        << transcript(*window).right(60);
}

TEST_F(WindowTest, AutoReadRowsAreTheOnesHiddenAndTheChoiceIsRemembered) {
    CommLog* log = window->commLog();
    auto* timer = window->page1()->findChild<QTimer*>("autoReadTimer");
    window->page1()->setAutoRead(true);
    log->model()->setRowCount(0);
    QTimerEvent event(timer->timerId());
    QCoreApplication::sendEvent(timer, &event);
    window->page1()->setAutoRead(false);
    EXPECT_GT(log->model()->rowCount(), 0);
    log->hideAutoReadBox()->setChecked(true);
    EXPECT_EQ(log->table()->model()->rowCount(), 0);
    window->slt_commandSend("readbyte 2A 00");
    EXPECT_EQ(log->table()->model()->rowCount(), 1);
    EXPECT_TRUE(CommLog(nullptr, true).hideAutoReadBox()->isChecked());
    log->hideAutoReadBox()->setChecked(false);
}

// Flows in which the user only looks never write, whatever page 2 showed before.
class ReadOnlyFlow : public ConnectedWindowTest, public testing::WithParamInterface<const char*> {};

TEST_P(ReadOnlyFlow, SendsReadsOnly) {
    // On-times at their power-on 0xFF, FPWM 980 Hz: shorter than page 2's 203 Hz.
    for (uint8_t reg = 0x05; reg <= 0x0D; ++reg)
        chip().setChipRegister(reg, 0xFF);
    chip().setChipRegister(0x0E, 0x40);
    std::vector<uint8_t> before;
    for (uint8_t reg = 0; reg <= 0x16; ++reg)
        before.push_back(chip().chipRegister(reg));
    QSignalSpy events(SystemManager::instance(), &SystemManager::sig_commEvent);
    const auto count = [&](int cmd, int from = 0) {
        std::map<int, int> perRegister;
        for (int i = from; i < events.count(); ++i)
            if (events.at(i).at(0).toInt() == cmd) ++perRegister[events.at(i).at(1).toInt()];
        return perRegister;
    };
    const std::string flow = GetParam();
    if (flow == "StartUp") {
        window.reset();
        window = std::make_unique<MainWindow>();
        ASSERT_TRUE(waitForConnection(*window));
        // Start-up reads what one readAll of each page reads, twice.
        const int started = events.count();
        window->page1()->readAll();
        window->page2()->readAll();
        std::map<int, int> atStart = count(kCommEventRead), once = count(kCommEventRead, started);
        for (int reg = 0; reg <= 0x16; ++reg) {
            EXPECT_GE(once[reg], 1) << "register " << reg;
            EXPECT_EQ(atStart[reg] - once[reg], 2 * once[reg]) << "register " << reg;
        }
    } else if (flow == "Refresh") {
        window->on_pushButton_Refresh_clicked();
        trigger("actionRefresh");
    } else if (flow == "AutoReadTick") {
        window->page1()->slt_autoReadTmrTick();
        window->page2()->slt_autoReadTmrTick();
    } else if (flow == "SaveRegisters") {
        ASSERT_TRUE(window->saveRegisters(file("kit.scr")));
    } else if (flow == "SetAddress" || flow == "ScanForAddress") {
        answerNextDialog([](QWidget* dialog) { qobject_cast<QInputDialog*>(dialog)->accept(); });
        trigger(flow == "SetAddress" ? "actionSet_Address" : "actionScan_for_Address");
        EXPECT_EQ(AppManager::deviceAddress(), 0x2A);
    } else {
        ASSERT_TRUE(window->commLog()->exportCsv(file("log.csv")));
        for (int tab : {1, 2, 3, 0})
            window->findChild<QTabWidget*>("tabWidget")->setCurrentIndex(tab);
    }
    EXPECT_EQ(count(kCommEventWrite).size(), 0u);
    EXPECT_EQ(count(kCommEventRead).empty(), flow == "ExportCsvAndTabs");
    for (uint8_t reg = 0; reg <= 0x16; ++reg)
        EXPECT_EQ(chip().chipRegister(reg), before[reg]) << "register " << int(reg);
}

INSTANTIATE_TEST_SUITE_P(Window, ReadOnlyFlow,
                         testing::Values("StartUp", "Refresh", "AutoReadTick", "SaveRegisters",
                                         "SetAddress", "ScanForAddress", "ExportCsvAndTabs"),
                         paramName);

} // namespace
