// Both register pages on a fresh simulated board, wired to the comm events
// and to each other as the main window wires them.
#ifndef PAGEFIXTURE_H
#define PAGEFIXTURE_H

#include "AppManager.h"
#include "Board.h"
#include "DeviceAccess.h"
#include "StandIn.h"
#include "SystemManager.h"
#include "frmMainPage.h"
#include "frmMainPage2.h"

#include <QDoubleSpinBox>
#include <QLabel>
#include <QSignalSpy>
#include <QSlider>
#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

using Writes = std::vector<std::pair<int, int>>;

class PageTest : public testing::Test {
  protected:
    void SetUp() override {
        boardDisconnect();
        ASSERT_TRUE(standin::reload("")) << "the D2XX stand-in did not load";
        board = standin::board();
        ASSERT_TRUE(boardConnect());
        AppManager::setDeviceAddress(0x2A);
        AppManager::setDemoMode(false);
        const char* event = SIGNAL(sig_commEvent(uint8_t, uint8_t, uint8_t, uint32_t, uint8_t));
        const char* slot = SLOT(slt_commEvent(uint8_t, uint8_t, uint8_t, uint32_t, uint8_t));
        QObject::connect(SystemManager::instance(), event, page1.get(), slot);
        QObject::connect(SystemManager::instance(), event, page2.get(), slot);
        QObject::connect(page1.get(), SIGNAL(sig_pwmPeriodChosen()), page2.get(),
                         SLOT(slt_pwmPeriodChosen()));
        spy.clear();
    }
    void TearDown() override {
        AppManager::setDemoMode(false);
        boardDisconnect();
    }

    // The registers and values of the successful writes (cmd 1) or reads (0).
    Writes events(int cmd) const {
        Writes out;
        for (const QList<QVariant>& a : spy)
            if (a.at(0).value<uint8_t>() == cmd && a.at(4).value<uint8_t>())
                out.emplace_back(a.at(1).value<uint8_t>(), int(a.at(3).value<uint32_t>()));
        return out;
    }
    Writes writes() const { return events(1); }
    std::vector<int> readRegs() const {
        std::vector<int> out;
        for (const auto& r : events(0))
            out.push_back(r.first);
        return out;
    }

    // Sets a register of the chip and lets the pages read it.
    void chipShows(uint8_t reg, uint8_t value) {
        board->setChipRegister(reg, value);
        page1->slt_readRegister(reg);
        spy.clear();
    }

    template <typename T> T* control(QWidget* page, const QString& name) {
        T* found = page->findChild<T*>(name);
        EXPECT_NE(found, nullptr) << name.toStdString();
        return found;
    }
    template <typename T> T* control1(const char* name) { return control<T>(page1.get(), name); }
    static QString ton(const char* prefix, int n) { return prefix + QString::number(n); }
    QSlider* slider(int n) { return control<QSlider>(page2.get(), ton("horizontalSlider_ton", n)); }
    QLabel* label(int n) { return control<QLabel>(page2.get(), ton("label_ton", n)); }
    QDoubleSpinBox* spinBox(int n) {
        return control<QDoubleSpinBox>(page2.get(), ton("doubleSpinBox_ton", n));
    }

    podsim::Board* board = nullptr;
    std::unique_ptr<frmMainPage> page1 = std::make_unique<frmMainPage>();
    std::unique_ptr<frmMainPage2> page2 = std::make_unique<frmMainPage2>();
    QSignalSpy spy{SystemManager::instance(), &SystemManager::sig_commEvent};
};

#endif // PAGEFIXTURE_H
