#include "PageFixture.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include <array>

namespace {

using Writes = std::vector<RegValue>;

class Page2Test : public PageTest {
  protected:
    QSlider* slider(int n) { return control2<QSlider>(name("horizontalSlider_ton", n)); }
    QLabel* label(int n) { return control2<QLabel>(name("label_ton", n)); }
    QDoubleSpinBox* spinBox(int n) {
        return control2<QDoubleSpinBox>(name("doubleSpinBox_ton", n));
    }

    // Sets FPWM on the chip and lets the pages read 0x0E.
    void fpwmRead(uint8_t setting) {
        board->setChipRegister(0x0E, setting);
        page1->slt_readRegister(0x0E);
        spy->clear();
    }

    uint32_t chipCount(int channel) {
        const rar4120e::TonChannel& ton = rar4120e::tonChannel(channel);
        return rar4120e::tonCount(channel, board->chipRegister(ton.highRegister),
                                  board->chipRegister(ton.middleRegister),
                                  board->chipRegister(0x0D));
    }

  private:
    static QByteArray nameBuffer;
    static const char* name(const char* prefix, int n) {
        nameBuffer = QByteArray(prefix) + QByteArray::number(n);
        return nameBuffer.constData();
    }
};

QByteArray Page2Test::nameBuffer;

// Slider, label and spin box of every channel show the same count.
void expectAgreement(QSlider* slider, QLabel* label, QDoubleSpinBox* spinBox) {
    const double percent = slider->value() * 100.0 / slider->maximum();
    EXPECT_EQ(label->text(), QString::asprintf("%0.4f%%", percent)) << slider->value();
    EXPECT_EQ(spinBox->text(), QString::asprintf("%0.4f", percent)) << slider->value();
}

TEST_F(Page2Test, PeriodCountStartsAtTheDemoFpwm) {
    EXPECT_EQ(page2->periodCount(), 98523u);
    for (int n = 1; n <= 4; ++n) {
        EXPECT_EQ(slider(n)->maximum(), 98523) << n;
        expectAgreement(slider(n), label(n), spinBox(n));
    }
}

TEST_F(Page2Test, SettingReadShowsTheChipsCountsAgainstItAndWritesNothing) {
    page2->readAll();
    board->setChipRegister(0x0E, 0x40);
    page1->slt_readRegister(0x0E);
    EXPECT_EQ(page2->periodCount(), 20409u);
    EXPECT_TRUE(writes().empty());
    // A failed read of SETTING keeps the period.
    page2->slt_commEvent(0, 0x0E, 8, 0x00, 0);
    EXPECT_EQ(page2->periodCount(), 20409u);
    for (int n = 1; n <= 4; ++n) {
        EXPECT_EQ(slider(n)->maximum(), 20409) << n;
        EXPECT_EQ(slider(n)->value(), 20409) << n;
        expectAgreement(slider(n), label(n), spinBox(n));
        EXPECT_EQ(chipCount(n - 1), 0x3FFFFu) << n;
    }
}

TEST_F(Page2Test, ChoosingAHigherFrequencyClampsAndWritesOnlyTheLongerChannels) {
    fpwmRead(0x00);
    slider(1)->setValue(30000);
    slider(2)->setValue(10000);
    slider(3)->setValue(20409);
    slider(4)->setValue(65000);
    spy->clear();

    emit control1<QComboBox>("comboBox_fpwm")->activated(4);

    EXPECT_EQ(page2->periodCount(), 20409u);
    std::vector<int> written;
    for (const RegValue& w : writes())
        written.push_back(w.first);
    EXPECT_EQ(written, (std::vector<int>{0x0E, 0x05, 0x06, 0x0D, 0x0B, 0x0C, 0x0D}));
    EXPECT_EQ(chipCount(0), 20409u);
    EXPECT_EQ(chipCount(1), 10000u);
    EXPECT_EQ(chipCount(3), 20409u);
    EXPECT_EQ(label(1)->text(), "100.0000%");
    EXPECT_EQ(label(2)->text(), "48.9980%");
    EXPECT_EQ(label(3)->text(), "100.0000%");
    EXPECT_EQ(slider(2)->value(), 10000);
    for (int n = 1; n <= 4; ++n)
        EXPECT_EQ(slider(n)->maximum(), 20409) << n;
}

TEST_F(Page2Test, Ton1AtTheFullPeriodOf153Hz) {
    fpwmRead(0x00);
    slider(1)->setValue(1000);
    board->setChipRegister(0x0D, 0x00);
    spy->clear();
    slider(1)->setValue(130719);
    EXPECT_EQ(writes(), (Writes{{0x05, 0x7F}, {0x06, 0xA7}, {0x0D, 0x03}}));
    EXPECT_EQ(label(1)->text(), "100.0000%");
}

TEST_F(Page2Test, HalfOf610HzFromTheSliderAndFromTheSpinBox) {
    fpwmRead(0x30);
    slider(1)->setValue(16394);
    EXPECT_EQ(label(1)->text(), "50.0015%");
    spinBox(2)->setValue(50.0);
    EXPECT_EQ(slider(2)->value(), 16394);
    EXPECT_EQ(chipCount(1), 16394u);
}

TEST_F(Page2Test, SpinBoxRoundsTiesToEvenAndMovesTheSlider) {
    fpwmRead(0x40);
    spinBox(1)->setValue(50.0);
    EXPECT_EQ(slider(1)->value(), 10204);
    EXPECT_EQ(label(1)->text(), "49.9976%");
    EXPECT_EQ(board->chipRegister(0x05), 0x09);
    EXPECT_EQ(board->chipRegister(0x06), 0xF7);
    EXPECT_EQ(board->chipRegister(0x0D) & 0x03, 0x00);
    EXPECT_EQ(writes().back(), RegValue(0x0D, board->chipRegister(0x0D)));
}

TEST_F(Page2Test, MovingTon3KeepsTheOtherBitPairsOfTheLowRegister) {
    fpwmRead(0x00);
    board->setChipRegister(0x0D, 0xC9);
    spy->clear();
    slider(3)->setValue(1002);
    EXPECT_EQ(writes().back(), RegValue(0x0D, 0xE9));
    EXPECT_EQ(board->chipRegister(0x0D), 0xE9);
}

TEST_F(Page2Test, ResetTon2ZeroesItsCountAndReadsAll) {
    fpwmRead(0x10);
    page2->readAll();
    spy->clear();
    control2<QPushButton>("reset_ton2")->click();
    EXPECT_EQ(writes(), (Writes{{0x07, 0}, {0x08, 0}, {0x0D, 0xF3}}));
    std::vector<int> regs;
    for (const RegValue& r : reads())
        regs.push_back(r.first);
    EXPECT_EQ(regs, (std::vector<int>{0x0D, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0D}));
    EXPECT_EQ(chipCount(1), 0u);
    // The controls follow the chip.
    EXPECT_EQ(slider(2)->value(), 0);
    EXPECT_EQ(label(2)->text(), "0.0000%");
    EXPECT_EQ(chipCount(0), 0x3FFFFu);
}

TEST_F(Page2Test, ReadAllShowsTheChipsCountsAndWritesNothing) {
    fpwmRead(0x40);
    // TON1 = 0x01 << 10 | 0x02 << 2 | 1 = 1033; TON4 = 0x0A << 10 | 0x00 | 2 = 10242.
    const std::array<std::pair<uint8_t, uint8_t>, 9> chip = {{{0x05, 0x01},
                                                              {0x06, 0x02},
                                                              {0x07, 0x00},
                                                              {0x08, 0x00},
                                                              {0x09, 0x7F},
                                                              {0x0A, 0xFF},
                                                              {0x0B, 0x0A},
                                                              {0x0C, 0x00},
                                                              {0x0D, 0x81}}};
    for (const auto& r : chip)
        board->setChipRegister(r.first, r.second);
    page2->readAll();
    EXPECT_TRUE(writes().empty());
    EXPECT_EQ(reads().size(), 9u);
    EXPECT_EQ(slider(1)->value(), 1033);
    EXPECT_EQ(label(1)->text(), QString::asprintf("%0.4f%%", 1033 * 100.0 / 20409));
    EXPECT_EQ(slider(2)->value(), 0);
    EXPECT_DOUBLE_EQ(spinBox(2)->value(), 0.0);
    // TON3 is longer than the period: the slider stands at its end.
    EXPECT_EQ(slider(3)->value(), 20409);
    EXPECT_EQ(label(3)->text(), "100.0000%");
    EXPECT_EQ(slider(4)->value(), 10242);
    for (const auto& r : chip)
        EXPECT_EQ(board->chipRegister(r.first), r.second);
}

TEST_F(Page2Test, LoadDefaultsShowsTheDemoCountsAndWritesNothing) {
    board->setChipRegister(0x05, 0x00);
    board->setChipRegister(0x06, 0x10);
    page2->readAll();
    ASSERT_EQ(slider(1)->value(), 0x40 + 3);
    spy->clear();
    page2->loadDefaults();
    EXPECT_TRUE(writes().empty());
    for (int n = 1; n <= 4; ++n) {
        EXPECT_EQ(slider(n)->value(), slider(n)->maximum()) << n;
        EXPECT_EQ(label(n)->text(), "100.0000%") << n;
    }
}

TEST_F(Page2Test, DemoModeWritesNothing) {
    AppManager::setDemoMode(true);
    slider(1)->setValue(5000);
    spinBox(2)->setValue(10.0);
    control2<QPushButton>("reset_ton3")->click();
    page2->writeAll();
    EXPECT_TRUE(writes().empty());
    EXPECT_EQ(board->chipRegister(0x05), 0xFF);
    EXPECT_EQ(board->chipRegister(0x09), 0xFF);
}

TEST_F(Page2Test, InDemoModeSliderLabelAndSpinBoxAgree) {
    // Demo mode is what the program offers when no board answers.
    boardDisconnect();
    AppManager::setDemoMode(true);
    page2->loadDefaults();
    slider(1)->setValue(slider(1)->maximum());
    EXPECT_EQ(label(1)->text(), "100.0000%");
    slider(2)->setValue(49262);
    spinBox(3)->setValue(25.0);
    EXPECT_EQ(slider(3)->value(), 24631);
    control2<QPushButton>("reset_ton4")->click();
    for (int n = 1; n <= 4; ++n)
        expectAgreement(slider(n), label(n), spinBox(n));
}

// Keystrokes write nothing; Enter writes the value typed, once.
TEST_F(Page2Test, SpinBoxWritesWhenEditingIsFinished) {
    fpwmRead(0x40);
    QDoubleSpinBox* box = spinBox(1);
    box->selectAll();
    QTest::keyClicks(box, QStringLiteral("-"));
    box->selectAll();
    QTest::keyClicks(box, QStringLiteral("25"));
    EXPECT_TRUE(writes().empty());
    QTest::keyClick(box, Qt::Key_Return);
    // 20409 x 25 % = 5102.25 -> 5102 = 0x04 << 10 | 0xFB << 2 | 2.
    EXPECT_EQ(writes(), (Writes{{0x05, 0x04}, {0x06, 0xFB}, {0x0D, 0xFE}}));
    EXPECT_EQ(chipCount(0), 5102u);
    expectAgreement(slider(1), label(1), box);
}

TEST_F(Page2Test, WriteAllWritesTheCachedOnTimeRegistersInOrder) {
    page2->readAll();
    spy->clear();
    page2->writeAll();
    Writes expected;
    for (int reg = 0x05; reg <= 0x0D; ++reg)
        expected.emplace_back(reg, SystemManager::instance()->getRegister(uint8_t(reg)));
    EXPECT_EQ(writes(), expected);
}

} // namespace
