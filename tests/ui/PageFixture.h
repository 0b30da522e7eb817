// Both pages on a fresh simulated board, wired as the main window wires them.
#ifndef PAGEFIXTURE_H
#define PAGEFIXTURE_H

#include "AppManager.h"
#include "Board.h"
#include "DeviceAccess.h"
#include "StandIn.h"
#include "SystemManager.h"
#include "frmMainPage.h"
#include "frmMainPage2.h"

#include <QCheckBox>
#include <QComboBox>
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
    std::vector<int> regs(int cmd) const {
        std::vector<int> out;
        for (const auto& r : events(cmd))
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

    // TONn as the chip holds it: bits 17:10 in 0x05 + 2(n - 1), 9:2 in the
    // register after it, 1:0 in bits 2(n - 1) + 1 : 2(n - 1) of 0x0D.
    uint32_t chipCount(int n) {
        const auto high = static_cast<uint8_t>(0x05 + 2 * (n - 1));
        return board->chipRegister(high) << 10 | board->chipRegister(high + 1) << 2 |
               (board->chipRegister(0x0D) >> (2 * (n - 1)) & 3);
    }

    // A label's or spin box's text, a slider's position, a box's tick, a combo box's item.
    static QString shown(QObject* c) {
        if (auto* label = qobject_cast<QLabel*>(c)) return label->text();
        if (auto* box = qobject_cast<QDoubleSpinBox*>(c)) return box->text();
        if (auto* slider = qobject_cast<QSlider*>(c)) return QString::number(slider->value());
        if (auto* box = qobject_cast<QCheckBox*>(c)) return QString::number(box->isChecked());
        if (auto* combo = qobject_cast<QComboBox*>(c))
            return QString::number(combo->currentIndex());
        return QStringLiteral("no control");
    }
    // Each "control text" pair: what that control of either page shows.
    void expectShown(const char* pairs) {
        const QStringList words = QString::fromLatin1(pairs).split(' ');
        for (int i = 0; i + 1 < words.size(); i += 2) {
            QObject* c = page1->findChild<QObject*>(words[i]);
            EXPECT_EQ(shown(c ? c : page2->findChild<QObject*>(words[i])).toStdString(),
                      words[i + 1].toStdString())
                << words[i].toStdString();
        }
    }

    podsim::Board* board = nullptr;
    std::unique_ptr<frmMainPage> page1 = std::make_unique<frmMainPage>();
    std::unique_ptr<frmMainPage2> page2 = std::make_unique<frmMainPage2>();
    QSignalSpy spy{SystemManager::instance(), &SystemManager::sig_commEvent};
};

#endif // PAGEFIXTURE_H
