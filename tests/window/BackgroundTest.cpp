// The window while long work runs beside its event loop: a board search over
// a silent serial port, a script, and the one-thread rule of the board link.
#include "WindowTestSupport.h"

#include "AppManager.h"
#include "ConsoleBox.h"
#include "DeviceAccess.h"
#include "I2CCommand.h"
#include "SystemManager.h"
#include "frmMainPage.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include <pty.h>
#include <unistd.h>

#include <atomic>
#include <thread>

using windowtest::answerNextDialog;
using windowtest::clickMessageBoxButton;

namespace {

const int kGiveUpMs = 10000;

bool processEventsUntil(const std::function<bool()>& done) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < kGiveUpMs)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

// No USB device and one pseudo-terminal that never answers: a search that
// would take many seconds per baud-rate sweep.
class SilentPortTest : public testing::Test {
  protected:
    void SetUp() override {
        char name[128] = {};
        ASSERT_EQ(openpty(&m_master, &m_slave, name, nullptr, nullptr), 0);
        ASSERT_TRUE(windowtest::reloadSimulator("usb.devices = 0"));
        setenv("RERODADA_SERIAL_PORTS", name, 1);
        AppManager::setDemoMode(false);
        AppManager::setAutoReadEnabled(true);
        window = std::make_unique<MainWindow>();
        window->show();
        ASSERT_TRUE(processEventsUntil([this] { return window->searching(); }));
    }
    void TearDown() override {
        window.reset();
        setenv("RERODADA_SERIAL_PORTS", "", 1);
        close(m_master);
        close(m_slave);
        AppManager::setDemoMode(false);
        AppManager::setAutoReadEnabled(false);
    }
    QAction* action(const char* name) { return window->findChild<QAction*>(name); }

    std::unique_ptr<MainWindow> window;

  private:
    int m_master = -1;
    int m_slave = -1;
};

} // namespace

TEST_F(SilentPortTest, SearchRunsBesideTheEventLoopWithControlsDisabledUntilStopped) {
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(10);
    ASSERT_TRUE(processEventsUntil([&] {
        return ticks >= 5 && window->messageLabel()->text().contains(QStringLiteral("COM1"));
    }));
    EXPECT_TRUE(window->searching());
    EXPECT_EQ(window->messageLabel()->text(),
              QStringLiteral("Searching for the board: serial port COM1…"));
    EXPECT_FALSE(window->page1()->isEnabled());
    EXPECT_FALSE(action("actionConnect")->isEnabled());
    EXPECT_FALSE(action("actionRefresh")->isEnabled());
    EXPECT_TRUE(action("actionStop")->isEnabled());

    // The window's thread does not enter the link while the search holds it.
    QSignalSpy events(SystemManager::instance(), &SystemManager::sig_commEvent);
    EXPECT_EQ(readByte(0x00), 0);
    EXPECT_EQ(writeByte(0x02, 0x0A), 0);
    EXPECT_FALSE(boardConnected());
    EXPECT_EQ(events.count(), 0);

    bool asked = false;
    QString messageWhileAsked;
    answerNextDialog([&](QWidget* dialog) {
        asked = true;
        messageWhileAsked = window->messageLabel()->text();
        clickMessageBoxButton(dialog, QStringLiteral("&Ok"));
    });
    action("actionStop")->trigger();
    ASSERT_TRUE(processEventsUntil([&] { return window->connectionAttempted(); }));
    EXPECT_TRUE(asked);
    EXPECT_TRUE(messageWhileAsked.isEmpty()) << messageWhileAsked.toStdString();
    EXPECT_EQ(window->messageLabel()->text(), QStringLiteral("Demo Mode"));
    EXPECT_TRUE(window->page1()->isEnabled());
    EXPECT_TRUE(action("actionConnect")->isEnabled());
    EXPECT_FALSE(action("actionStop")->isEnabled());
}

TEST_F(SilentPortTest, ClosingDuringTheSearchClosesOnceTheSearchHasStopped) {
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible());
    // A whole sweep of the port would take far longer than the give-up time.
    ASSERT_TRUE(processEventsUntil([&] { return !window->isVisible(); }));
    EXPECT_FALSE(window->searching());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST(DemoQuestion, EscapeAndTheCloseButtonMeanOk) {
    const std::vector<std::function<void(QWidget*)>> answers = {
        [](QWidget* dialog) { QTest::keyClick(dialog, Qt::Key_Escape); },
        [](QWidget* dialog) { dialog->close(); },
    };
    for (const auto& answer : answers) {
        ASSERT_TRUE(windowtest::reloadSimulator("usb.devices = 0"));
        AppManager::setDemoMode(false);
        int questions = 0;
        answerNextDialog([&](QWidget* dialog) {
            ++questions;
            answer(dialog);
        });
        MainWindow window;
        ASSERT_TRUE(windowtest::waitForConnection(window));
        EXPECT_EQ(questions, 1);
        EXPECT_TRUE(AppManager::demoMode());
        EXPECT_EQ(window.messageLabel()->text(), QStringLiteral("Demo Mode"));
    }
    AppManager::setDemoMode(false);
}

class ScriptTest : public ConnectedWindowTest {
  protected:
    QString writeScript(const QByteArray& text) {
        const QString path = m_dir.filePath(QStringLiteral("test.scr"));
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(text);
        return path;
    }

  private:
    QTemporaryDir m_dir;
};

TEST_F(ScriptTest, StopEndsAWaitAtOnceAndRunsNoFurtherLine) {
    ASSERT_TRUE(
        window->startScript(writeScript("statusmsga first\nwait 600000\nstatusmsga second\n")));
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(10);
    ASSERT_TRUE(processEventsUntil([&] { return ticks >= 3; }));
    EXPECT_TRUE(window->scriptRunning());
    EXPECT_EQ(window->messageLabel()->text(), QStringLiteral("first"));
    const QString transcript =
        window->debugPanel()->console()->findChild<QTextEdit*>()->toPlainText();
    EXPECT_TRUE(transcript.endsWith(QStringLiteral("statusmsga first\nwait 600000")));

    window->findChild<QAction*>("actionStop")->trigger();
    EXPECT_FALSE(window->scriptRunning());
    QApplication::processEvents();
    EXPECT_EQ(window->messageLabel()->text(), QStringLiteral("first"));
}

TEST_F(ScriptTest, StopBetweenLinesEndsAfterTheLineThatRuns) {
    const QString path = writeScript("writebyte 2A 05 11\nwritebyte 2A 05 22\nstatusmsga never\n");
    QObject::connect(SystemManager::instance(), &SystemManager::sig_commEvent, window.get(),
                     [this] { window->on_actionStop_triggered(); });
    ASSERT_TRUE(window->runScript(path));
    EXPECT_EQ(windowtest::board()->chipRegister(0x05), 0x11);
    EXPECT_NE(window->messageLabel()->text(), QStringLiteral("never"));
}

TEST(LinkGuard, TwoThreadsNeverShareTheLink) {
    ASSERT_TRUE(windowtest::reloadSimulator());
    ASSERT_TRUE(boardConnect());
    uint8_t devId = 0;
    ASSERT_TRUE(smbusReadByte(0x2A, 0x00, &devId));
    // Two threads other than the window's: each waits for the link as long
    // as it takes, so every read must succeed and none may mix with another.
    std::atomic<int> failures{0};
    const auto reads = [&] {
        for (int i = 0; i < 500; ++i) {
            uint8_t value = 0;
            if (!smbusReadByte(0x2A, 0x00, &value) || value != devId) ++failures;
        }
    };
    std::thread first(reads);
    std::thread second(reads);
    first.join();
    second.join();
    EXPECT_EQ(failures, 0);
    boardDisconnect();
}
