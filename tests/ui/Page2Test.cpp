#include "PageFixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QTest>

namespace {

// The low register keeps the other channels' bit pairs.
TEST_F(PageTest, SliderWritesTheThreePartsOfItsCount) {
    const struct {
        uint8_t setting;
        int n, count;
        uint8_t low;
        Writes written;
        const char* label;
    } rows[] = {{0x00, 1, 130719, 0x00, {{0x05, 0x7F}, {0x06, 0xA7}, {0x0D, 0x03}}, "100.0000%"},
                {0x00, 3, 1002, 0xC9, {{0x09, 0x00}, {0x0A, 0xFA}, {0x0D, 0xE9}}, "0.7665%"},
                {0x30, 1, 16394, 0xFF, {{0x05, 0x10}, {0x06, 0x02}, {0x0D, 0xFE}}, "50.0015%"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.count);
        chipShows(0x0E, row.setting);
        slider(row.n)->setValue(1);
        board->setChipRegister(0x0D, row.low);
        spy.clear();
        slider(row.n)->setValue(row.count);
        EXPECT_EQ(writes(), row.written);
        EXPECT_EQ(chipCount(row.n), uint32_t(row.count));
        EXPECT_EQ(label(row.n)->text(), row.label);
    }
}

// Keystrokes write nothing; Enter writes once, rounded half to even.
TEST_F(PageTest, SpinBoxWritesWhenEditingIsFinished) {
    chipShows(0x0E, 0x40);
    QDoubleSpinBox* box = spinBox(1);
    box->selectAll();
    QTest::keyClicks(box, QStringLiteral("-"));
    box->selectAll();
    QTest::keyClicks(box, QStringLiteral("50"));
    EXPECT_TRUE(writes().empty());
    QTest::keyClick(box, Qt::Key_Return);
    // 20409 x 50 % = 10204.5 -> 10204 = 0x09 << 10 | 0xF7 << 2 | 0.
    EXPECT_EQ(writes(), (Writes{{0x05, 0x09}, {0x06, 0xF7}, {0x0D, 0xFC}}));
    expectShown("horizontalSlider_ton1 10204 label_ton1 49.9976% doubleSpinBox_ton1 49.9976");
}

// FPWM keeps SETTING's other bits; page 2 shortens the longer on-times.
TEST_F(PageTest, ChoosingAHigherFrequencyClampsAndWritesOnlyTheLongerChannels) {
    chipShows(0x0E, 0x80);
    slider(1)->setValue(30000);
    slider(2)->setValue(10000);
    slider(3)->setValue(20409);
    slider(4)->setValue(65000);
    spy.clear();
    emit control1<QComboBox>("comboBox_fpwm")->activated(4);
    EXPECT_EQ(regs(1), (std::vector<int>{0x0E, 0x05, 0x06, 0x0D, 0x0B, 0x0C, 0x0D}));
    EXPECT_EQ(writes().front().second, 0xC0);
    EXPECT_EQ(page2->periodCount(), 20409u);
    expectShown("comboBox_fpwm 4 cb_sg_retry 1 label_ton2 48.9980%");
    EXPECT_EQ(chipCount(1), 20409u);
    EXPECT_EQ(chipCount(2), 10000u);
    EXPECT_EQ(chipCount(4), 20409u);
}

TEST_F(PageTest, ResetZeroesTheChannelsCountAndReadsAll) {
    chipShows(0x0E, 0x10);
    page2->readAll();
    const int rows[][4] = {
        {1, 0x05, 0x06, 0xFC}, {2, 0x07, 0x08, 0xF3}, {3, 0x09, 0x0A, 0xCF}, {4, 0x0B, 0x0C, 0x3F}};
    for (const auto& [n, high, middle, low] : rows) {
        SCOPED_TRACE(n);
        board->setChipRegister(0x0D, 0xFF);
        spy.clear();
        control<QPushButton>(page2.get(), ton("reset_ton", n))->click();
        EXPECT_EQ(writes(), (Writes{{high, 0}, {middle, 0}, {0x0D, low}}));
        EXPECT_EQ(regs(0), (std::vector<int>{0x0D, 5, 6, 7, 8, 9, 10, 11, 12, 0x0D}));
        EXPECT_EQ(chipCount(n), 0u);
        EXPECT_EQ(slider(n)->value(), 0);
        EXPECT_EQ(label(n)->text(), "0.0000%");
    }
}

// A read of SETTING rescales the channels; a failed one keeps the period.
TEST_F(PageTest, ReadsShowTheChipsCountsAgainstThePeriodAndWriteAllWritesThemBack) {
    EXPECT_EQ(slider(4)->maximum(), 98523);
    // TON1 = 1 << 10 | 2 << 2 | 1; TON3 beyond the period; TON4 = 10 << 10 | 2.
    const Writes chip = {{0x05, 0x01}, {0x06, 0x02}, {0x07, 0x00}, {0x08, 0x00}, {0x09, 0x7F},
                         {0x0A, 0xFF}, {0x0B, 0x0A}, {0x0C, 0x00}, {0x0D, 0x81}};
    for (const auto& r : chip)
        board->setChipRegister(uint8_t(r.first), uint8_t(r.second));
    page2->readAll();
    board->setChipRegister(0x0E, 0x40);
    page1->slt_readRegister(0x0E);
    page2->slt_commEvent(0, 0x0E, 8, 0x00, 0);
    EXPECT_EQ(page2->periodCount(), 20409u);
    EXPECT_TRUE(writes().empty());
    for (int n = 1; n <= 4; ++n)
        EXPECT_EQ(slider(n)->maximum(), 20409) << n;
    expectShown("horizontalSlider_ton1 1033 label_ton1 5.0615% doubleSpinBox_ton1 5.0615 "
                "horizontalSlider_ton2 0 label_ton2 0.0000% doubleSpinBox_ton2 0.0000 "
                "horizontalSlider_ton3 20409 label_ton3 100.0000% doubleSpinBox_ton3 100.0000 "
                "horizontalSlider_ton4 10242 label_ton4 50.1837% doubleSpinBox_ton4 50.1837");
    spy.clear();
    page2->writeAll();
    EXPECT_EQ(writes(), chip);
}

TEST_F(PageTest, DemoModeShowsTheDemoValuesAndWritesNothing) {
    chipShows(0x02, 0x00);
    AppManager::setDemoMode(true);
    page1->loadDefaults();
    page2->loadDefaults();
    expectShown("label_dev_id 0x12 label_adim_value 100.000% label_ical_value 100% "
                "comboBox_fpwm 1 cb_hw_rst 1 cb_dis_s2g 1 label_ton4 100.0000%");
    control1<QCheckBox>("cb_ena")->click();
    emit control1<QComboBox>("comboBox_sldet")->activated(2);
    slider(1)->setValue(5000);
    control<QPushButton>(page2.get(), "reset_ton4")->click();
    page1->writeAll();
    page2->writeAll();
    EXPECT_TRUE(writes().empty());
    EXPECT_EQ(board->chipRegister(0x02), 0x00);
    EXPECT_EQ(board->chipRegister(0x05), 0xFF);
    // Without a board, as demo mode runs, the controls of a channel agree
    // (203 Hz: 98523 counts); TON1 and TON4 keep the full count read above.
    boardDisconnect();
    slider(2)->setValue(49262);
    spinBox(3)->setValue(25.0);
    expectShown("horizontalSlider_ton1 98523 label_ton1 100.0000% doubleSpinBox_ton1 100.0000 "
                "horizontalSlider_ton2 49262 label_ton2 50.0005% doubleSpinBox_ton2 50.0005 "
                "horizontalSlider_ton3 24631 label_ton3 25.0003% doubleSpinBox_ton3 25.0003 "
                "horizontalSlider_ton4 98523 label_ton4 100.0000% doubleSpinBox_ton4 100.0000");
}

} // namespace
