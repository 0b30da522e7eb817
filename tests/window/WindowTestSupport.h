// Helpers of the window and file tests: the simulated kit, modal dialogs,
// and a main window that has finished its first connection attempt.
#ifndef WINDOWTESTSUPPORT_H
#define WINDOWTESTSUPPORT_H

#include "AppManager.h"
#include "Board.h"
#include "CommLog.h"
#include "ConsoleBox.h"
#include "DeviceAccess.h"
#include "DlgAbout.h"
#include "I2CCommand.h"
#include "MainWindow.h"
#include "SystemManager.h"
#include "frmMainPage.h"
#include "frmMainPage2.h"

#include <gtest/gtest.h>

#include <QtTest>
#include <QtWidgets>

#include <functional>
#include <memory>
#include <string>

// Failures print texts as text.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace windowtest {

// The board of the first simulated USB device; null without the stand-in.
podsim::Board* board();
// Replaces the simulated devices (empty text: the default kit), disconnected first.
bool reloadSimulator(const std::string& configText = std::string());
// Runs answer on the next modal dialog, from within its event loop; gives up
// after a few seconds so a test never hangs.
void answerNextDialog(std::function<void(QWidget*)> answer);
void clickMessageBoxButton(QWidget* dialog, const QString& buttonText);
// The text of the message box that action opens, which is then closed.
QString nextMessage(const std::function<void()>& action);
bool processEventsUntil(const std::function<bool()>& done);
bool waitForConnection(MainWindow& window);
QString writeFile(const QString& path, const QByteArray& text);

} // namespace windowtest

// A main window on the default simulated kit, auto-read off, connected.
class ConnectedWindowTest : public testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    QString file(const char* name, const QByteArray& text = QByteArray()) {
        const QString path = dir.filePath(QString::fromLatin1(name));
        return text.isNull() ? path : windowtest::writeFile(path, text);
    }
    podsim::Board& chip() { return *windowtest::board(); }

    QTemporaryDir dir;
    std::unique_ptr<MainWindow> window;
};

#endif // WINDOWTESTSUPPORT_H
