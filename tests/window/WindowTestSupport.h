// Helpers of the window tests: the simulated kit, answering modal dialogs,
// and a main window that has finished its first connection attempt.
#ifndef WINDOWTESTSUPPORT_H
#define WINDOWTESTSUPPORT_H

#include "Board.h"
#include "MainWindow.h"

#include <gtest/gtest.h>

#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>

namespace windowtest {

// The board of the first simulated USB device; null without the stand-in.
podsim::Board* board();

// Replaces the simulated devices (empty text: the default kit) after
// disconnecting the library.
bool reloadSimulator(const std::string& configText = std::string());

// Runs answer on the next modal dialog that appears, from within its event
// loop; gives up after a few seconds so a test never hangs.
void answerNextDialog(std::function<void(QWidget*)> answer);

// Clicks the button of the active message box whose text is buttonText.
void clickMessageBoxButton(QWidget* dialog, const QString& buttonText);

// Processes events until the window's first connection attempt is over.
bool waitForConnection(MainWindow& window);

} // namespace windowtest

// A main window on the default simulated kit, auto-read off, connected.
class ConnectedWindowTest : public testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    std::unique_ptr<MainWindow> window;
};

#endif // WINDOWTESTSUPPORT_H
