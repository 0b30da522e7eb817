// Both register pages on a fresh simulated board, connected to the comm
// events and to each other as the main window connects them, with a record
// of the events.
#ifndef PAGEFIXTURE_H
#define PAGEFIXTURE_H

#include "AppManager.h"
#include "Board.h"
#include "DeviceAccess.h"
#include "StandIn.h"
#include "SystemManager.h"
#include "frmMainPage.h"
#include "frmMainPage2.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

using RegValue = std::pair<int, int>;

class PageTest : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(standin::library(), nullptr) << "the D2XX stand-in did not load";
        boardDisconnect();
        ASSERT_TRUE(standin::reload(""));
        board = standin::board();
        ASSERT_NE(board, nullptr);
        ASSERT_TRUE(boardConnect());
        AppManager::setDeviceAddress(0x2A);
        AppManager::setDemoMode(false);
        AppManager::setAutoReadTimeout(1000);

        page1 = std::make_unique<frmMainPage>();
        page2 = std::make_unique<frmMainPage2>();
        for (QObject* page :
             {static_cast<QObject*>(page1.get()), static_cast<QObject*>(page2.get())})
            QObject::connect(SystemManager::instance(),
                             SIGNAL(sig_commEvent(uint8_t, uint8_t, uint8_t, uint32_t, uint8_t)),
                             page,
                             SLOT(slt_commEvent(uint8_t, uint8_t, uint8_t, uint32_t, uint8_t)));
        QObject::connect(page1.get(), SIGNAL(sig_pwmPeriodChosen()), page2.get(),
                         SLOT(slt_pwmPeriodChosen()));
        spy =
            std::make_unique<QSignalSpy>(SystemManager::instance(), &SystemManager::sig_commEvent);
    }

    void TearDown() override {
        AppManager::setDemoMode(false);
        boardDisconnect();
    }

    // The registers and values written, in order, as the device-access
    // layer reported them.
    std::vector<RegValue> writes() const { return eventsOf(1); }
    std::vector<RegValue> reads() const { return eventsOf(0); }

    // Sets a register of the simulated chip and lets page 1 read it.
    void chipShows(uint8_t reg, uint8_t value) {
        board->setChipRegister(reg, value);
        page1->slt_readRegister(reg);
        spy->clear();
    }

    template <typename T> T* control1(const char* name) { return find<T>(page1.get(), name); }
    template <typename T> T* control2(const char* name) { return find<T>(page2.get(), name); }

    podsim::Board* board = nullptr;
    std::unique_ptr<frmMainPage> page1;
    std::unique_ptr<frmMainPage2> page2;
    std::unique_ptr<QSignalSpy> spy;

  private:
    std::vector<RegValue> eventsOf(int cmd) const {
        std::vector<RegValue> out;
        for (const QList<QVariant>& args : *spy)
            if (args.at(0).value<uint8_t>() == cmd && args.at(4).value<uint8_t>())
                out.emplace_back(args.at(1).value<uint8_t>(), int(args.at(3).value<uint32_t>()));
        return out;
    }

    template <typename T> static T* find(QObject* page, const char* name) {
        T* control = page->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(control, nullptr) << name;
        return control;
    }
};

#endif // PAGEFIXTURE_H
