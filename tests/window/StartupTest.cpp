#include "WindowTestSupport.h"

#include "AppManager.h"
#include "DeviceAccess.h"
#include "DlgAbout.h"
#include "SystemManager.h"
#include "frmMainPage.h"
#include "frmMainPage2.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QTest>
#include <QSettings>
#include <QSignalSpy>
#include <QSlider>

#include <map>

using windowtest::answerNextDialog;
using windowtest::clickMessageBoxButton;

namespace {

const char kShowSplash[] = "ShowSplash";

QSettings* native() {
    return AppManager::instance()->nativeSettings();
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

} // namespace

// Only an absent value or the exact text "TRUE" shows the splash; an absent
// one is recorded as "TRUE".
TEST(SplashDecision, OnlyTrueOrNothingShowsTheSplash) {
    const struct {
        const char* stored; // nullptr: absent
        bool shown;
        const char* after;
    } rows[] = {{nullptr, true, "TRUE"},
                {"TRUE", true, "TRUE"},
                {"true", false, "true"},
                {"FALSE", false, "FALSE"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.stored ? row.stored : "absent");
        if (row.stored)
            native()->setValue(kShowSplash, QString::fromLatin1(row.stored));
        else
            native()->remove(kShowSplash);
        EXPECT_EQ(DlgAbout::splashWanted(native()), row.shown);
        EXPECT_EQ(native()->value(kShowSplash).toString(), QString::fromLatin1(row.after));
    }
}

TEST(AboutBox, DisableSplashBoxFollowsAndWritesTheSetting) {
    native()->setValue(kShowSplash, QStringLiteral("TRUE"));
    DlgAbout about(nullptr, false);
    about.showDialog();
    auto* box = about.findChild<QCheckBox*>(QStringLiteral("chkDisableSplash"));
    ASSERT_NE(box, nullptr);
    EXPECT_FALSE(box->isChecked());
    box->click();
    EXPECT_EQ(native()->value(kShowSplash).toString(), QStringLiteral("FALSE"));
    box->click();
    EXPECT_EQ(native()->value(kShowSplash).toString(), QStringLiteral("TRUE"));

    native()->setValue(kShowSplash, QString());
    about.showDialog();
    EXPECT_TRUE(box->isChecked());
    EXPECT_EQ(native()->value(kShowSplash).toString(), QStringLiteral("FALSE"));
    EXPECT_TRUE(about.findChild<QWidget*>(QStringLiteral("btnClose"))->isVisibleTo(&about));
    about.hide();
}

TEST(AboutBox, SplashModeHidesOkAndClosesItself) {
    DlgAbout splash(nullptr, true);
    EXPECT_FALSE(splash.findChild<QWidget*>(QStringLiteral("btnClose"))->isVisibleTo(&splash));
    QSignalSpy expired(&splash, &DlgAbout::sig_splashTimerExpired);
    splash.showDialog();
    EXPECT_TRUE(splash.isVisible());
    EXPECT_TRUE(expired.wait(DlgAbout::kSplashMs + 1000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !splash.isVisible(); }, 1000));
    EXPECT_EQ(splash.findChild<QLabel*>(QStringLiteral("lblTitle_Version"))->text(),
              QStringLiteral("Version ") + AppManager::appVersion());
}

TEST(Startup, NoBoardOffersDemoModeRetryRepeatsOkShowsDefaults) {
    ASSERT_TRUE(windowtest::reloadSimulator("usb.devices = 0"));
    AppManager::setDemoMode(false);
    AppManager::setAutoReadEnabled(false);

    int questions = 0;
    QString title;
    QString text;
    // First answer "&Retry", which asks again; then "&Ok".
    answerNextDialog([&](QWidget* dialog) {
        ++questions;
        title = dialog->windowTitle();
        text = qobject_cast<QMessageBox*>(dialog)->text();
        answerNextDialog([&](QWidget* again) {
            ++questions;
            clickMessageBoxButton(again, QStringLiteral("&Ok"));
        });
        clickMessageBoxButton(dialog, QStringLiteral("&Retry"));
    });
    MainWindow window;
    ASSERT_TRUE(windowtest::waitForConnection(window));

    EXPECT_EQ(questions, 2);
    EXPECT_EQ(title, QStringLiteral("Device not found"));
    EXPECT_EQ(text, QStringLiteral("Device not connected. Start demo mode?"));
    EXPECT_EQ(window.boardLabel()->text(),
              QStringLiteral("<font color='red'>PODLINK: Device not found"));
    EXPECT_EQ(window.kitLabel()->text(),
              QStringLiteral("<font color='red'>EV Kit: Device not found"));
    EXPECT_EQ(window.messageLabel()->text(), QStringLiteral("Demo Mode"));
    EXPECT_TRUE(AppManager::demoMode());

    frmMainPage page1;
    frmMainPage2 page2;
    page1.loadDefaults();
    page2.loadDefaults();
    EXPECT_EQ(controlStates(window.page1()), controlStates(&page1));
    EXPECT_EQ(controlStates(window.page2()), controlStates(&page2));

    AppManager::setDemoMode(false);
}

TEST(Startup, SimulatorShowsTheBannerAndReadsBothPagesTwice) {
    ASSERT_TRUE(windowtest::reloadSimulator());
    AppManager::setDeviceAddress(0x2A);
    AppManager::setAutoReadEnabled(false);
    AppManager::setDemoMode(false);
    QSignalSpy events(SystemManager::instance(), &SystemManager::sig_commEvent);
    MainWindow window;
    ASSERT_TRUE(windowtest::waitForConnection(window));

    const QString banner = boardBanner();
    ASSERT_TRUE(banner.startsWith(QStringLiteral("Kelvo PODLINK")));
    const QString shown = QStringLiteral("<font color='black'>") + banner;
    EXPECT_EQ(window.boardLabel()->text(), shown.left(shown.size() - 1));
    EXPECT_EQ(window.kitLabel()->text(), QStringLiteral("<font color='black'>EV Kit: Connected"));
    EXPECT_TRUE(window.messageLabel()->text().isEmpty());

    // What one readAll of each page reads, to compare with the start-up.
    const auto readsPerRegister = [](const QSignalSpy& spy) {
        std::map<int, int> reads;
        for (const QList<QVariant>& args : spy)
            if (args.at(0).value<uint8_t>() == 0) ++reads[args.at(1).value<uint8_t>()];
        return reads;
    };
    const std::map<int, int> atStart = readsPerRegister(events);
    events.clear();
    window.page1()->readAll();
    window.page2()->readAll();
    const std::map<int, int> once = readsPerRegister(events);
    for (int reg = 0; reg <= 0x16; ++reg) {
        ASSERT_GE(once.count(reg), 1u) << "register " << reg;
        EXPECT_EQ(atStart.at(reg), 2 * once.at(reg)) << "register " << reg;
    }
    boardDisconnect();
}
