// The window's start: splash, board search, demo question, link guard, options.
#include "SimulatedKit.h"
#include "SimulatorCheck.h"
#include "WindowTestSupport.h"

#include <QTemporaryDir>

#if !defined(_WIN32) // pseudo-terminals are POSIX's
#include <pty.h>
#include <unistd.h>
#endif

#include <atomic>
#include <thread>

using namespace windowtest;

namespace {

// Only an absent value (then recorded as "TRUE") or "TRUE" shows the splash. The flag lives in
// the native store of Corvelle's RAR4120E (the registry on Windows).
TEST(Splash, OnlyTrueOrNothingShowsItTheAboutBoxTurnsItOffAndItClosesItself) {
    QSettings* native = AppManager::instance()->nativeSettings();
    const auto stored = [] {
        return QSettings("Corvelle", "RAR4120E").value("ShowSplash").toString();
    };
    using Row = std::tuple<const char*, bool, const char*>;
    for (const auto& [before, shown, after] : {Row{nullptr, true, "TRUE"},
                                               {"TRUE", true, "TRUE"},
                                               {"true", false, "true"},
                                               {"FALSE", false, "FALSE"}}) {
        SCOPED_TRACE(before ? before : "absent");
        before ? native->setValue("ShowSplash", before) : native->remove("ShowSplash");
        EXPECT_EQ(DlgAbout::splashWanted(native), shown);
        EXPECT_EQ(stored(), after);
    }
    native->setValue("ShowSplash", "TRUE");
    DlgAbout about(nullptr, false);
    about.showDialog();
    auto* box = about.findChild<QCheckBox*>("chkDisableSplash");
    EXPECT_FALSE(box->isChecked());
    box->click();
    EXPECT_EQ(stored(), "FALSE");
    box->click();
    EXPECT_EQ(stored(), "TRUE");
    native->setValue("ShowSplash", QString());
    about.showDialog();
    EXPECT_TRUE(box->isChecked());
    EXPECT_EQ(stored(), "FALSE");
    EXPECT_TRUE(about.findChild<QWidget*>("btnClose")->isVisibleTo(&about));

    // The splash has no Ok button and closes itself.
    DlgAbout splash(nullptr, true);
    EXPECT_FALSE(splash.findChild<QWidget*>("btnClose")->isVisibleTo(&splash));
    EXPECT_EQ(splash.findChild<QLabel*>("lblTitle_Version")->text(),
              "Version " + AppManager::appVersion());
    QSignalSpy expired(&splash, &DlgAbout::sig_splashTimerExpired);
    splash.showDialog();
    EXPECT_TRUE(splash.isVisible());
    EXPECT_TRUE(expired.wait(DlgAbout::kSplashMs + 10000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !splash.isVisible(); }, 10000));
}

// Every check box, combo box and slider state of a page, by object name.
std::map<QString, int> controlStates(QWidget* page) {
    std::map<QString, int> states;
    for (QCheckBox* box : page->findChildren<QCheckBox*>())
        states[box->objectName()] = box->isChecked();
    for (QComboBox* combo : page->findChildren<QComboBox*>())
        states[combo->objectName()] = combo->currentIndex();
    for (QSlider* slider : page->findChildren<QSlider*>())
        states[slider->objectName()] = slider->value();
    return states;
}

// Retry asks again; Ok, Escape and the close button all mean demo mode. The
// question names each serial port tried once.
TEST(Startup, NoBoardSaysWhyAndOffersDemoModeWithTheDefaults) {
    static int questions;
    const std::tuple<const char*, void (*)(QWidget*), int, const char*, const char*> rows[] = {
        {"Retry then Ok",
         [](QWidget* dialog) {
             answerNextDialog([](QWidget* again) {
                 ++questions;
                 clickMessageBoxButton(again, "&Ok");
             });
             clickMessageBoxButton(dialog, "&Retry");
         },
         2, "/nonexistent/ttyA:/nonexistent/ttyB", "2 serial ports tried (COM1, COM2)."},
        {"close", [](QWidget* dialog) { dialog->close(); }, 1, "/nonexistent/COM3",
         "1 serial port tried (COM3)."},
        // The last row leaves no port listed for the tests after.
        {"Escape", [](QWidget* dialog) { QTest::keyClick(dialog, Qt::Key_Escape); }, 1, "",
         "0 serial ports tried."}};
    for (const auto& [name, answer, asked, ports, tried] : rows) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(reloadSimulator("usb.devices = 0"));
        setenv("RERODADA_SERIAL_PORTS", ports, 1);
        AppManager::setDemoMode(false);
        questions = 0;
        QString texts;
        answerNextDialog([&](QWidget* dialog) {
            ++questions;
            auto* box = qobject_cast<QMessageBox*>(dialog);
            texts = box->windowTitle() + "|" + box->text() + "|" + box->informativeText();
            answer(dialog);
        });
        MainWindow window;
        ASSERT_TRUE(waitForConnection(window));
        EXPECT_EQ(questions, asked);
        // The stand-in is the D2XX library here.
        EXPECT_EQ(texts, QString("Device not found|Device not connected. Start demo mode?|No "
                                 "PODLINK answered on USB; ") +
                             tried);
        EXPECT_EQ(window.boardLabel()->text(), "<font color='red'>PODLINK: Device not found");
        EXPECT_EQ(window.kitLabel()->text(), "<font color='red'>EV Kit: Device not found");
        EXPECT_EQ(window.messageLabel()->text(), "Demo Mode");
        EXPECT_TRUE(AppManager::demoMode());
        frmMainPage page1;
        frmMainPage2 page2;
        page1.loadDefaults();
        page2.loadDefaults();
        EXPECT_EQ(controlStates(window.page1()), controlStates(&page1));
        EXPECT_EQ(controlStates(window.page2()), controlStates(&page2));
    }
    AppManager::setDemoMode(false);
}

TEST(Startup, AFaultySimulatorConfigurationNamedInAnyScriptIsNamedWithItsLine) {
    QTemporaryDir dir;
    // No ANSI code page holds this name: Windows finds it by its UTF-16 name only.
    const QString path = writeFile(dir.filePath(QStringLiteral("Prüfstand Δοκιμή 試験.conf")),
                                   "# kit\nno.such.key = 1\n");
    const auto reloadFile = standin::hook<int (*)(const char*)>("podsim_d2xx_reload_file");
    ASSERT_NE(reloadFile, nullptr);
    useSimulatorConfig(path);
    EXPECT_NE(reloadFile(nullptr), 0); // as the stand-in reads it when it loads
    useSimulatorConfig(QString());
    EXPECT_TRUE(simulatorConfigProblem().contains(path + ": line 2")) << simulatorConfigProblem();
    ASSERT_TRUE(reloadSimulator());
    EXPECT_TRUE(simulatorConfigProblem().isEmpty());
}

#if !defined(_WIN32)
// No USB device and a pseudo-terminal that never answers: a search of many seconds.
TEST(Search, RunsBesideTheEventLoopWithControlsDisabledUntilStoppedOrClosed) {
    int master = -1, slave = -1;
    char name[128] = {};
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    ASSERT_TRUE(reloadSimulator("usb.devices = 0"));
    setenv("RERODADA_SERIAL_PORTS", name, 1);
    AppManager::setDemoMode(false);
    AppManager::setAutoReadEnabled(true);
    MainWindow window;
    window.show();
    const auto action = [&](const char* name) { return window.findChild<QAction*>(name); };
    ASSERT_TRUE(processEventsUntil([&] { return window.messageLabel()->text().contains("COM1"); }));
    EXPECT_TRUE(window.searching());
    EXPECT_EQ(window.messageLabel()->text(), "Searching for the board: serial port COM1…");
    EXPECT_FALSE(window.page1()->isEnabled());
    EXPECT_FALSE(action("actionConnect")->isEnabled() || action("actionRefresh")->isEnabled());
    EXPECT_TRUE(action("actionStop")->isEnabled());
    // The window's thread does not enter the link while the search holds it.
    QSignalSpy events(SystemManager::instance(), &SystemManager::sig_commEvent);
    EXPECT_EQ(readByte(0x00), 0);
    EXPECT_EQ(writeByte(0x02, 0x0A), 0);
    EXPECT_FALSE(boardConnected());
    EXPECT_EQ(events.count(), 0);

    // The window's own actions are refused whole, and say so.
    window.commLog()->model()->setRowCount(0);
    window.on_pushButton_WriteAll_clicked();
    EXPECT_EQ(window.messageLabel()->text(), "Busy: a board search is running");
    EXPECT_EQ(window.commLog()->model()->rowCount(), 1);
    EXPECT_EQ(events.count(), 0);

    // Cancelled, the search leaves the program disconnected, asking nothing.
    bool asked = false;
    QTimer dialogWatch;
    QObject::connect(&dialogWatch, &QTimer::timeout, [&] {
        if (QWidget* dialog = QApplication::activeModalWidget()) asked = true, dialog->close();
    });
    dialogWatch.start(20);
    action("actionStop")->trigger();
    ASSERT_TRUE(processEventsUntil([&] { return window.connectionAttempted(); }));
    EXPECT_FALSE(asked);
    EXPECT_EQ(window.messageLabel()->text(), "");
    EXPECT_EQ(window.boardLabel()->text(), "<font color='red'>PODLINK: Disconnected");
    EXPECT_FALSE(AppManager::demoMode());
    EXPECT_TRUE(window.page1()->isEnabled() && action("actionConnect")->isEnabled());
    EXPECT_FALSE(action("actionStop")->isEnabled());

    // Closing during a search closes once the search has stopped, long before a sweep ends.
    action("actionConnect")->trigger();
    ASSERT_TRUE(window.searching());
    EXPECT_TRUE(!window.close() && window.isVisible());
    ASSERT_TRUE(processEventsUntil([&] { return !window.isVisible(); }));
    EXPECT_FALSE(window.searching());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    setenv("RERODADA_SERIAL_PORTS", "", 1);
    close(master);
    close(slave);
}
#endif

TEST(LinkGuard, TwoThreadsNeverShareTheLink) {
    ASSERT_TRUE(reloadSimulator());
    ASSERT_TRUE(boardConnect());
    // Threads other than the window's wait for the link: every read succeeds, none mixes.
    std::atomic<int> failures{0};
    const auto reads = [&] {
        for (int i = 0; i < 500; ++i) {
            uint8_t value = 0;
            if (!smbusReadByte(0x2A, 0x00, &value) || value != 0x12) ++failures;
        }
    };
    std::thread first(reads), second(reads);
    first.join();
    second.join();
    EXPECT_EQ(failures, 0);
    boardDisconnect();
}

TEST(Program, HelpAndVersionNeedNoDisplayAndAnUnknownOptionExitsTwo) {
    struct Row {
        const char* option;
        bool display;
        int status;
        const char* printed;
    };
    for (const Row& row :
         {Row{"--help", false, 0, "usage:"}, Row{"--version", false, 0, "rar4120e-evkit 1.0.0"},
          Row{"--bogus", true, 2, "usage:"}}) {
        QProcess run;
        if (!row.display) {
            // A platform that cannot start, as in a shell over SSH.
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
            environment.remove(QStringLiteral("DISPLAY"));
            environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
            run.setProcessEnvironment(environment);
        }
        run.start(QCoreApplication::applicationDirPath() + "/rar4120e-evkit", {row.option});
        ASSERT_TRUE(run.waitForFinished(60000));
        EXPECT_EQ(run.exitCode(), row.status) << row.option;
        const QByteArray printed =
            row.status ? run.readAllStandardError() : run.readAllStandardOutput();
        EXPECT_TRUE(printed.contains(row.printed)) << row.option << ": " << printed.constData();
    }
}

// As an installed program's shortcut starts it: in the user's own folder, named
// through a variable and made on first use; Help looks there first (Windows).
TEST(Program, StartInMakesTheFolderKeepsTheSettingsAndFindsTheHelpThere) {
    QTemporaryDir home;
    const QString folder = home.filePath("Corvelle/RAR4120E");
    const QString script = home.filePath("one.scr");
    QFile scriptFile(script);
    ASSERT_TRUE(scriptFile.open(QIODevice::WriteOnly) && scriptFile.write("readbyte 2A 00\n") > 0);
    scriptFile.close();
    const auto run = [&](const QStringList& args) {
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("KIT_TEST_HOME", home.path());
        program.setProcessEnvironment(environment);
        program.start(QCoreApplication::applicationDirPath() + "/rar4120e-evkit",
                      QStringList{"--start-in", "%KIT_TEST_HOME%/Corvelle/RAR4120E"} + args);
        EXPECT_TRUE(program.waitForFinished(60000));
        return std::make_pair(program.exitCode(), program.readAllStandardOutput().trimmed());
    };
    EXPECT_EQ(run({"--simulator", "--run-script", script, "--quit-after"}).first, 0);
    EXPECT_TRUE(QFileInfo(folder + "/RAR4120E.ini").isFile());
#ifdef _WIN32
    EXPECT_EQ(
        run({"--help-file"}),
        std::make_pair(
            1, QByteArray("No help file found: looked for ") +
                   QDir::toNativeSeparators(folder).toLocal8Bit() + "\\help.chm, " +
                   QDir::toNativeSeparators(QCoreApplication::applicationDirPath()).toLocal8Bit() +
                   "\\help.chm"));
    QFile help(folder + "/help.chm");
    ASSERT_TRUE(help.open(QIODevice::WriteOnly));
    help.close();
    EXPECT_EQ(run({"--help-file"}),
              std::make_pair(0, QDir::toNativeSeparators(folder + "/help.chm").toLocal8Bit()));
#else
    EXPECT_EQ(
        run({"--help-file"}),
        std::make_pair(
            0, (QCoreApplication::applicationDirPath() + "/help/commands.html").toLocal8Bit()));
#endif
}

} // namespace
