#include "PageFixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QTest>
#include <QTimer>

#include <string>

namespace {

// A click writes the cached value with one bit changed and reads it back; a
// lamp's click only reads.
TEST_F(PageTest, ClickedBoxesWriteTheirBitAndLampsOnlyRead) {
    const struct {
        const char* box;
        uint8_t reg, before, chipAfterRead;
        int written; // -1: nothing
        bool checkedAfter;
    } rows[] = {
        {"cb_ena", 0x02, 0x0A, 0x0A, 0x08, false},      {"cb_psen", 0x02, 0x0A, 0x0A, 0x0B, true},
        {"cb_bstforce", 0x02, 0x0A, 0x0A, 0x02, false}, {"cb_ss_off", 0x0E, 0x00, 0x00, 0x08, true},
        {"cb_out4o", 0x11, 0x00, 0x01, -1, false},      {"cb_hw_rst", 0x15, 0x00, 0x04, -1, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.box);
        chipShows(row.reg, row.before);
        if (row.written < 0) board->setChipRegister(row.reg, row.chipAfterRead);
        control1<QCheckBox>(row.box)->click();
        const int shown = row.written < 0 ? row.chipAfterRead : row.written;
        EXPECT_EQ(writes(), row.written < 0 ? Writes{} : (Writes{{row.reg, row.written}}));
        EXPECT_EQ(events(0), (Writes{{row.reg, shown}}));
        EXPECT_EQ(control1<QCheckBox>(row.box)->isChecked(), row.checkedAfter);
    }
    EXPECT_TRUE(control1<QCheckBox>("cb_out1o")->isChecked());
}

TEST_F(PageTest, IcalSliderWritesItsSixBits) {
    chipShows(0x16, 0xC5);
    control1<QSlider>("horizontalSlider_ical")->setValue(6);
    EXPECT_EQ(writes(), (Writes{{0x16, 0x06}}));
}

// What a read of one register shows: slider positions, label texts, check
// boxes (1 or 0) and combo box items (-1: no item), with nothing written.
TEST_F(PageTest, AReadShowsTheFieldsAndWritesNothing) {
    const struct {
        uint8_t reg, chip;
        const char* control;
        int value;
        const char* text; // for labels
    } rows[] = {
        {0x04, 128, "horizontalSlider_adim", 128, nullptr},
        {0x04, 128, "label_adim_value", 0, "50.196%"},
        {0x16, 63, "label_ical_value", 0, "100%"},
        // ICAL is bits 5:0.
        {0x16, 0xC5, "horizontalSlider_ical", 5, nullptr},
        {0x16, 0xC5, "label_ical_value", 0, "42%"},
        {0x01, 0xA3, "label_rev_id", 0, "0x03"},
        {0x00, 0x12, "label_dev_id", 0, "0x12"},
        {0x10, 0x07, "comboBox_tdim", -1, nullptr},
        {0x03, 0x48, "cb_LoDIM3", 1, nullptr},
        {0x03, 0x48, "cb_dim_ext", 1, nullptr},
        {0x11, 0x02, "cb_out2o", 1, nullptr},
        {0x11, 0x02, "cb_out1o", 0, nullptr},
        {0x12, 0x01, "cb_out1sg", 1, nullptr},
        // Bit 6 of DIAG lights no lamp.
        {0x15, 0x40, "cb_rtoor", 0, nullptr},
        {0x15, 0x40, "cb_hw_rst", 0, nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.control) + " " + std::to_string(row.chip));
        spy.clear();
        board->setChipRegister(row.reg, row.chip);
        page1->slt_readRegister(row.reg);
        QObject* control = page1->findChild<QObject*>(QString::fromLatin1(row.control));
        ASSERT_NE(control, nullptr);
        if (auto* label = qobject_cast<QLabel*>(control))
            EXPECT_EQ(label->text(), row.text);
        else if (auto* slider = qobject_cast<QSlider*>(control))
            EXPECT_EQ(slider->value(), row.value);
        else if (auto* box = qobject_cast<QCheckBox*>(control))
            EXPECT_EQ(box->isChecked(), row.value != 0);
        else
            EXPECT_EQ(qobject_cast<QComboBox*>(control)->currentIndex(), row.value);
        EXPECT_TRUE(writes().empty());
        EXPECT_EQ(readRegs(), std::vector<int>{row.reg});
    }
}

TEST_F(PageTest, ReadAllAndWriteAllTakeThePagesRegistersInOrder) {
    board->setChipRegister(0x03, 0xF5);
    page1->readAll();
    EXPECT_EQ(readRegs(), (std::vector<int>{0x00, 0x01, 0x02, 0x03, 0x04, 0x0E, 0x0F, 0x10, 0x11,
                                            0x12, 0x13, 0x14, 0x15, 0x16}));
    spy.clear();
    page1->writeAll();
    // Without the LoDIM status bits of 0x03.
    Writes expected;
    for (int reg : {0x02, 0x03, 0x04, 0x0E, 0x0F, 0x10, 0x14, 0x16})
        expected.emplace_back(reg, reg == 0x03 ? 0x05 : board->chipRegister(uint8_t(reg)));
    EXPECT_EQ(writes(), expected);
    EXPECT_TRUE(readRegs().empty());
}

TEST_F(PageTest, FailedReadsAndWriteEventsChangeNothing) {
    chipShows(0x00, 0x12);
    page1->slt_commEvent(0, 0x00, 8, 0x55, 0);
    page1->slt_commEvent(1, 0x00, 8, 0x55, 1);
    page1->slt_commEvent(1, 0x02, 8, 0x02, 1);
    EXPECT_EQ(control1<QLabel>("label_dev_id")->text(), "0x12");
    EXPECT_FALSE(control1<QCheckBox>("cb_ena")->isChecked());
}

TEST_F(PageTest, DemoModeShowsTheDemoValuesAndWritesNothing) {
    chipShows(0x02, 0x00);
    AppManager::setDemoMode(true);
    page1->loadDefaults();
    EXPECT_EQ(control1<QLabel>("label_dev_id")->text(), "0x12");
    EXPECT_EQ(control1<QLabel>("label_adim_value")->text(), "100.000%");
    EXPECT_EQ(control1<QLabel>("label_ical_value")->text(), "100%");
    EXPECT_EQ(control1<QComboBox>("comboBox_fpwm")->currentIndex(), 1);
    EXPECT_TRUE(control1<QCheckBox>("cb_hw_rst")->isChecked());
    EXPECT_TRUE(control1<QCheckBox>("cb_dis_s2g")->isChecked());
    control1<QCheckBox>("cb_ena")->click();
    emit control1<QComboBox>("comboBox_sldet")->activated(2);
    page1->writeAll();
    EXPECT_TRUE(writes().empty());
    EXPECT_EQ(board->chipRegister(0x02), 0x00);
}

// A period changed while the timer runs applies from the next tick on.
TEST_F(PageTest, AutoReadTakesUpAChangedPeriodAfterTheCurrentOne) {
    AppManager::setAutoReadTimeout(40);
    frmMainPage page;
    auto* timer = page.findChild<QTimer*>(QStringLiteral("autoReadTimer"));
    ASSERT_NE(timer, nullptr);
    page.setAutoRead(true);
    AppManager::setAutoReadTimeout(60);
    EXPECT_EQ(timer->interval(), 40);
    ASSERT_TRUE(QTest::qWaitFor([this] { return readRegs().size() >= 14; }));
    EXPECT_EQ(timer->interval(), 60);
    EXPECT_TRUE(timer->isActive());
    page.setAutoRead(false);
    EXPECT_FALSE(timer->isActive());
}

} // namespace
