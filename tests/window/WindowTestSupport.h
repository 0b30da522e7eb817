// What the window and file tests share: the simulated kit, dialogs, a connected window.
#ifndef WINDOWTESTSUPPORT_H
#define WINDOWTESTSUPPORT_H

#include "AppManager.h"
#include "CommLog.h"
#include "ConsoleBox.h"
#include "DeviceAccess.h"
#include "DlgAbout.h"
#include "I2CCommand.h"
#include "MainWindow.h"
#include "StandIn.h"
#include "SystemManager.h"
#include "frmMainPage.h"
#include "frmMainPage2.h"

#include <gtest/gtest.h>

#include <QtTest>
#include <QtWidgets>

#include <functional>
#include <memory>

// Failures print texts as text.
inline std::ostream& operator<<(std::ostream& os, const QString& text) {
    return os << '"' << text.toStdString() << '"';
}

namespace windowtest {

const int kGiveUpMs = 10000;

// Replaces the simulated devices (empty text: the default kit), disconnected first.
inline bool reloadSimulator(const std::string& configText = std::string()) {
    boardDisconnect();
    return standin::reload(configText);
}

inline bool processEventsUntil(const std::function<bool()>& done) {
    return QTest::qWaitFor(done, kGiveUpMs);
}

inline bool waitForConnection(MainWindow& window) {
    return processEventsUntil([&] { return window.connectionAttempted(); });
}

// Runs answer on the next modal dialog, inside its event loop; gives up in time.
inline void answerNextDialog(std::function<void(QWidget*)> answer, int waitedMs = 0) {
    QTimer::singleShot(20, [answer, waitedMs] {
        if (QWidget* dialog = QApplication::activeModalWidget())
            answer(dialog);
        else if (waitedMs < kGiveUpMs)
            answerNextDialog(answer, waitedMs + 20);
    });
}

inline void clickMessageBoxButton(QWidget* dialog, const QString& text) {
    for (QAbstractButton* button : qobject_cast<QMessageBox*>(dialog)->buttons())
        if (button->text() == text) return button->click();
    ADD_FAILURE() << "no button " << text;
}

// The text of the message box that action opens, which is then closed.
inline QString nextMessage(const std::function<void()>& action) {
    QString text;
    answerNextDialog([&](QWidget* dialog) {
        text = qobject_cast<QMessageBox*>(dialog)->text();
        dialog->close();
    });
    action();
    return text;
}

// The first argument of every signal a spy recorded.
inline QStringList sentLines(const QSignalSpy& spy) {
    QStringList lines;
    for (const QList<QVariant>& args : spy)
        lines << args.at(0).toString();
    return lines;
}

inline QString writeFile(const QString& path, const QByteArray& text) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << path;
    file.write(text);
    return path;
}

} // namespace windowtest

// A main window on the default simulated kit, auto-read off, connected.
class ConnectedWindowTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(windowtest::reloadSimulator()) << "the D2XX stand-in did not load";
        AppManager::setDeviceAddress(0x2A);
        AppManager::setAutoReadEnabled(false);
        AppManager::setDemoMode(false);
        window = std::make_unique<MainWindow>();
        ASSERT_TRUE(windowtest::waitForConnection(*window));
        ASSERT_TRUE(boardConnected());
    }
    void TearDown() override {
        window.reset();
        boardDisconnect();
        AppManager::setDeviceAddress(0x2A);
    }
    // A file in the test's folder, written when text is given.
    QString file(const char* name, const QByteArray& text = QByteArray()) {
        const QString path = dir.filePath(name);
        return text.isNull() ? path : windowtest::writeFile(path, text);
    }
    podsim::Board& chip() { return *standin::board(); }
    void trigger(const char* action) { window->findChild<QAction*>(action)->trigger(); }

    QTemporaryDir dir;
    std::unique_ptr<MainWindow> window;
};

#endif // WINDOWTESTSUPPORT_H
