// What a user meets in the window: error messages that say what failed,
// views that keep their text, and the small aids (address, echo, tooltips,
// a quiet log, a bounded console).
#include "WindowTestSupport.h"

#include "AppManager.h"
#include "CommLog.h"
#include "ConsoleBox.h"
#include "I2CCommand.h"
#include "SimulatorCheck.h"
#include "StandIn.h"
#include "StatusLabel.h"
#include "frmMainPage.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QSettings>
#include <QStandardItemModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

using windowtest::answerNextDialog;

namespace {

// The text of the next message box, which is then closed.
QString nextMessage(const std::function<void()>& action) {
    QString text;
    answerNextDialog([&](QWidget* dialog) {
        if (auto* box = qobject_cast<QMessageBox*>(dialog)) text = box->text();
        dialog->close();
    });
    action();
    return text;
}

QString transcript(MainWindow& window) {
    return window.debugPanel()->console()->findChild<QTextEdit*>()->toPlainText();
}

} // namespace

TEST_F(ConnectedWindowTest, ErrorsNameWhatFailedAndChangeNothing) {
    // Help without a program for the file (the offscreen desktop has none).
    const QString help = nextMessage([&] { window->on_actionCommand_Reference_triggered(); });
#ifdef _WIN32
    EXPECT_TRUE(help.contains(QStringLiteral("help.chm"))) << help.toStdString();
#else
    EXPECT_TRUE(help.contains(QStringLiteral("/help/commands.html"))) << help.toStdString();
#endif

    // A file that is no register file is not run: nothing reaches the chip.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("notes.scr"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("# registers\nwritebyte 2A 02 0A\nwritebyte 2A 05 11\nhello world\n");
    file.close();
    windowtest::board()->clearTraffic();
    bool loaded = true;
    const QString load = nextMessage([&] { loaded = window->loadRegisters(path); });
    EXPECT_FALSE(loaded);
    EXPECT_TRUE(load.contains(path + QStringLiteral(", line 4:"))) << load.toStdString();
    EXPECT_EQ(windowtest::board()->hostWrites(), 0u);

    const QString wrongRegister = dir.filePath(QStringLiteral("status.scr"));
    QFile second(wrongRegister);
    ASSERT_TRUE(second.open(QIODevice::WriteOnly));
    second.write("writebyte 2A 15 FF\n");
    second.close();
    const QString readOnly = nextMessage([&] { window->loadRegisters(wrongRegister); });
    EXPECT_TRUE(readOnly.contains(QStringLiteral("line 1: register 0x15 is not a writable")))
        << readOnly.toStdString();
    EXPECT_EQ(windowtest::board()->hostWrites(), 0u);
}

TEST(SimulatorConfiguration, AFaultyFileIsNamedWithItsLine) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("kit.conf"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("# kit\nno.such.key = 1\n");
    file.close();
    const auto reloadFile = standin::hook<int (*)(const char*)>("podsim_d2xx_reload_file");
    ASSERT_NE(reloadFile, nullptr);
    EXPECT_NE(reloadFile(QFile::encodeName(path).constData()), 0);
    const QString problem = simulatorConfigProblem();
    EXPECT_TRUE(problem.contains(path + QStringLiteral(": line 2"))) << problem.toStdString();
    ASSERT_TRUE(windowtest::reloadSimulator());
    EXPECT_TRUE(simulatorConfigProblem().isEmpty());
}

TEST(DemoQuestion, SaysWhyNoBoardWasFound) {
    ASSERT_TRUE(windowtest::reloadSimulator("usb.devices = 0"));
    AppManager::setDemoMode(false);
    QString why;
    answerNextDialog([&](QWidget* dialog) {
        why = qobject_cast<QMessageBox*>(dialog)->informativeText();
        windowtest::clickMessageBoxButton(dialog, QStringLiteral("&Ok"));
    });
    MainWindow window;
    ASSERT_TRUE(windowtest::waitForConnection(window));
    // The stand-in is the D2XX library here, and no serial port is listed.
    EXPECT_EQ(why, QStringLiteral("No PODLINK answered on USB; 0 serial ports tried."));
    AppManager::setDemoMode(false);
}

TEST_F(ConnectedWindowTest, StatusBarShowsTheAddressAndElidesLongTexts) {
    EXPECT_EQ(window->addressLabel()->text(), QStringLiteral("I2C 0x2A"));
    window->slt_commandSend(QStringLiteral("setaddress 50"));
    EXPECT_EQ(window->addressLabel()->text(), QStringLiteral("I2C 0x50"));
    window->slt_commandSend(QStringLiteral("setaddress 2A"));

    window->show();
    const QString longText = QString(200, QLatin1Char('x'));
    window->slt_commandSend(QStringLiteral("statusmsga ") + longText);
    auto* label = static_cast<StatusLabel*>(window->messageLabel());
    EXPECT_EQ(label->text(), longText);
    EXPECT_TRUE(label->shownText().endsWith(QChar(0x2026)));
    EXPECT_LT(label->shownText().size(), longText.size());
}

TEST_F(ConnectedWindowTest, LinesFromThePromptAreEchoedBeforeTheirReply) {
    window->commLog()->prompt()->setText(QStringLiteral("echo hello"));
    window->commLog()->slt_commPromptEvent();
    EXPECT_TRUE(transcript(*window).endsWith(QStringLiteral("echo hello\n\thello")))
        << transcript(*window).right(60).toStdString();
}

TEST_F(ConnectedWindowTest, HiddenAutoReadKeepsItsRowsOutOfTheLogAndIsRemembered) {
    CommLog* log = window->commLog();
    EXPECT_TRUE(log->table()->horizontalHeader()->stretchLastSection());
    auto* timer = window->page1()->findChild<QTimer*>(QStringLiteral("autoReadTimer"));
    ASSERT_NE(timer, nullptr);
    window->page1()->setAutoRead(true);
    const auto tick = [&] {
        QTimerEvent event(timer->timerId());
        QCoreApplication::sendEvent(timer, &event);
    };

    log->model()->setRowCount(0);
    tick();
    const int rowsPerTick = log->model()->rowCount();
    EXPECT_GT(rowsPerTick, 0);

    log->hideAutoReadBox()->setChecked(true);
    tick();
    EXPECT_EQ(log->model()->rowCount(), rowsPerTick);
    window->slt_commandSend(QStringLiteral("readbyte 2A 00"));
    EXPECT_EQ(log->model()->rowCount(), rowsPerTick + 1);
    window->page1()->setAutoRead(false);

    EXPECT_TRUE(QSettings(QStringLiteral("RAR4120E.ini"), QSettings::IniFormat)
                    .value(QStringLiteral("Application/hideAutoRead"))
                    .toBool());
    CommLog another(nullptr, true);
    EXPECT_TRUE(another.hideAutoReadBox()->isChecked());
    log->hideAutoReadBox()->setChecked(false);
}

TEST_F(ConnectedWindowTest, RegisterControlsExplainThemselves) {
    const QString ena = window->page1()->findChild<QCheckBox*>(QStringLiteral("cb_ena"))->toolTip();
    EXPECT_TRUE(ena.startsWith(QStringLiteral("ENA: register 0x02 ISET, bit ")))
        << ena.toStdString();
    auto* tdim = window->page1()->findChild<QComboBox*>(QStringLiteral("comboBox_tdim"));
    ASSERT_NE(tdim, nullptr);
    EXPECT_TRUE(tdim->toolTip().contains(QStringLiteral("7 = (reserved)")));
    for (int code = 0; code < tdim->count(); ++code)
        EXPECT_FALSE(tdim->itemText(code).trimmed().isEmpty()) << code;
}

TEST_F(ConnectedWindowTest, TheWindowFitsALaptopScreen) {
    const QSize least = window->minimumSizeHint().expandedTo(window->minimumSize());
    EXPECT_LE(least.width(), 1366);
    // A taskbar and the title bar take about 80 of the 768 pixels.
    EXPECT_LE(least.height(), 688);
}

TEST(Console, KeepsTheNewestTenThousandLines) {
    ConsoleBox console;
    for (int i = 0; i < ConsoleBox::kScrollbackLines + 50; ++i)
        console.printText(QString::number(i), Qt::black, false);
    const QTextEdit* edit = console.findChild<QTextEdit*>();
    EXPECT_EQ(edit->document()->blockCount(), ConsoleBox::kScrollbackLines);
    EXPECT_TRUE(edit->toPlainText().endsWith(QString::number(ConsoleBox::kScrollbackLines + 49)));
}
