#include "WindowTestSupport.h"

#include "AppManager.h"
#include "DeviceAccess.h"
#include "StandIn.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QTimer>

namespace windowtest {
namespace {

const int kPollMs = 20;
const int kGiveUpMs = 10000;

void poll(std::function<void(QWidget*)> answer, int waitedMs) {
    if (QWidget* dialog = QApplication::activeModalWidget())
        answer(dialog);
    else if (waitedMs < kGiveUpMs)
        QTimer::singleShot(kPollMs, [answer, waitedMs] { poll(answer, waitedMs + kPollMs); });
}

} // namespace

podsim::Board* board() {
    return standin::board();
}

bool reloadSimulator(const std::string& configText) {
    boardDisconnect();
    return standin::reload(configText);
}

void answerNextDialog(std::function<void(QWidget*)> answer) {
    QTimer::singleShot(kPollMs, [answer] { poll(answer, kPollMs); });
}

void clickMessageBoxButton(QWidget* dialog, const QString& buttonText) {
    auto* box = qobject_cast<QMessageBox*>(dialog);
    ASSERT_NE(box, nullptr);
    for (QAbstractButton* button : box->buttons())
        if (button->text() == buttonText) return button->click();
    FAIL() << "no button " << buttonText.toStdString();
}

QString nextMessage(const std::function<void()>& action) {
    QString text;
    answerNextDialog([&](QWidget* dialog) {
        if (auto* box = qobject_cast<QMessageBox*>(dialog)) text = box->text();
        dialog->close();
    });
    action();
    return text;
}

bool processEventsUntil(const std::function<bool()>& done) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < kGiveUpMs)
        QApplication::processEvents(QEventLoop::AllEvents, kPollMs);
    return done();
}

bool waitForConnection(MainWindow& window) {
    return processEventsUntil([&] { return window.connectionAttempted(); });
}

QString writeFile(const QString& path, const QByteArray& text) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(text);
    return path;
}

} // namespace windowtest

void ConnectedWindowTest::SetUp() {
    ASSERT_TRUE(windowtest::reloadSimulator()) << "the D2XX stand-in did not load";
    AppManager::setDeviceAddress(0x2A);
    AppManager::setAutoReadEnabled(false);
    AppManager::setDemoMode(false);
    window = std::make_unique<MainWindow>();
    ASSERT_TRUE(windowtest::waitForConnection(*window));
    ASSERT_TRUE(boardConnected());
}

void ConnectedWindowTest::TearDown() {
    window.reset();
    boardDisconnect();
    AppManager::setDeviceAddress(0x2A);
}
