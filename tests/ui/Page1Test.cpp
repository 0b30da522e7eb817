#include "PageFixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QSlider>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <string>

namespace {

using Writes = std::vector<RegValue>;

TEST_F(PageTest, FpwmChoiceKeepsTheOtherBitsOfSetting) {
    chipShows(0x0E, 0x80);
    emit control1<QComboBox>("comboBox_fpwm")->activated(7);
    const Writes written = writes();
    ASSERT_FALSE(written.empty());
    EXPECT_EQ(written.front(), RegValue(0x0E, 0xF0));
    // The rest is page 2 shortening the on-times to the new period.
    for (size_t i = 1; i < written.size(); ++i)
        EXPECT_TRUE(written[i].first >= 0x05 && written[i].first <= 0x0D) << written[i].first;
    EXPECT_EQ(board->chipRegister(0x0E), 0xF0);
    EXPECT_EQ(control1<QComboBox>("comboBox_fpwm")->currentIndex(), 7);
    EXPECT_TRUE(control1<QCheckBox>("cb_sg_retry")->isChecked());
}

struct FlagCase {
    const char* box;
    uint8_t before;
    uint8_t written;
    bool checkedAfter;
};

std::ostream& operator<<(std::ostream& os, const FlagCase& c) {
    return os << c.box;
}

class FlagClick : public PageTest, public testing::WithParamInterface<FlagCase> {};

TEST_P(FlagClick, WritesTheCachedValueWithOneBitChangedAndReadsBack) {
    const FlagCase& c = GetParam();
    chipShows(0x02, c.before);
    control1<QCheckBox>(c.box)->click();
    EXPECT_EQ(writes(), (Writes{{0x02, c.written}}));
    EXPECT_EQ(reads(), (Writes{{0x02, c.written}}));
    EXPECT_EQ(control1<QCheckBox>(c.box)->isChecked(), c.checkedAfter);
}

INSTANTIATE_TEST_SUITE_P(Iset, FlagClick,
                         testing::Values(FlagCase{"cb_ena", 0x0A, 0x08, false},
                                         FlagCase{"cb_psen", 0x0A, 0x0B, true},
                                         FlagCase{"cb_bstforce", 0x0A, 0x02, false}));

// What a read of one register shows: slider positions, label texts, check
// boxes (1 or 0) and combo box items (-1: no item), with nothing written back.
struct Shown {
    uint8_t reg;
    uint8_t chip;
    const char* control;
    int value;
    const char* text; // for labels
};

TEST_F(PageTest, AReadShowsTheFieldsAndWritesNothing) {
    const Shown rows[] = {
        {0x04, 128, "horizontalSlider_adim", 128, nullptr},
        {0x04, 128, "label_adim_value", 0, "50.196%"},
        {0x04, 255, "label_adim_value", 0, "100.000%"},
        {0x16, 0, "label_ical_value", 0, "37%"},
        {0x16, 63, "horizontalSlider_ical", 63, nullptr},
        {0x16, 63, "label_ical_value", 0, "100%"},
        // ICAL is bits 5:0; bits 7:6 are not part of it.
        {0x16, 0xC5, "horizontalSlider_ical", 5, nullptr},
        {0x16, 0xC5, "label_ical_value", 0, "42%"},
        {0x16, 0x40, "horizontalSlider_ical", 0, nullptr},
        {0x01, 0xA3, "label_rev_id", 0, "0x03"},
        {0x00, 0x12, "label_dev_id", 0, "0x12"},
        {0x10, 0x07, "comboBox_tdim", -1, nullptr},
        {0x10, 0x07, "cb_fade_gain", 0, nullptr},
        {0x10, 0x07, "cb_fade_in_out", 0, nullptr},
        {0x03, 0x48, "cb_LoDIM3", 1, nullptr},
        {0x03, 0x48, "cb_LoDIM4", 0, nullptr},
        {0x03, 0x48, "cb_dim_ext", 1, nullptr},
        // Bit 6 of DIAG lights no lamp.
        {0x15, 0x40, "cb_rtoor", 0, nullptr},
        {0x15, 0x40, "cb_isetoor", 0, nullptr},
        {0x15, 0x40, "cb_bstuv", 0, nullptr},
        {0x15, 0x40, "cb_bstov", 0, nullptr},
        {0x15, 0x40, "cb_hw_rst", 0, nullptr},
        {0x15, 0x40, "cb_otw", 0, nullptr},
        {0x15, 0x40, "cb_ot", 0, nullptr},
    };
    for (const Shown& row : rows) {
        SCOPED_TRACE(std::string(row.control) + " " + std::to_string(row.chip));
        spy->clear();
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
        EXPECT_EQ(reads().size(), 1u);
        EXPECT_EQ(board->chipRegister(row.reg), row.chip);
    }
}

TEST_F(PageTest, IcalSliderWritesItsSixBits) {
    chipShows(0x16, 0xC5);
    control1<QSlider>("horizontalSlider_ical")->setValue(6);
    EXPECT_EQ(writes(), (Writes{{0x16, 0x06}}));
}

TEST_F(PageTest, LampClickReadsTheRegisterAndWritesNothing) {
    chipShows(0x11, 0x00);
    board->setChipRegister(0x11, 0x01);
    control1<QCheckBox>("cb_out4o")->click();
    EXPECT_TRUE(writes().empty());
    EXPECT_EQ(reads(), (Writes{{0x11, 0x01}}));
    EXPECT_FALSE(control1<QCheckBox>("cb_out4o")->isChecked());
    EXPECT_TRUE(control1<QCheckBox>("cb_out1o")->isChecked());
}

TEST_F(PageTest, HwRstLampTakesBitTwoOfItsRead) {
    chipShows(0x15, 0x00);
    board->setChipRegister(0x15, 0x04);
    control1<QCheckBox>("cb_hw_rst")->click();
    EXPECT_TRUE(control1<QCheckBox>("cb_hw_rst")->isChecked());
    EXPECT_TRUE(writes().empty());
}

TEST_F(PageTest, WriteAllWritesTheCacheWithoutLoDimStatus) {
    board->setChipRegister(0x03, 0xF5);
    page1->readAll();
    spy->clear();
    page1->writeAll();
    SystemManager* cache = SystemManager::instance();
    EXPECT_EQ(writes(), (Writes{{0x02, cache->getRegister(0x02)},
                                {0x03, 0x05},
                                {0x04, cache->getRegister(0x04)},
                                {0x0E, cache->getRegister(0x0E)},
                                {0x0F, cache->getRegister(0x0F)},
                                {0x10, cache->getRegister(0x10)},
                                {0x14, cache->getRegister(0x14)},
                                {0x16, cache->getRegister(0x16)}}));
    EXPECT_TRUE(reads().empty());
}

TEST_F(PageTest, ReadAllReadsTheFourteenRegistersInOrder) {
    page1->readAll();
    EXPECT_TRUE(writes().empty());
    std::vector<int> regs;
    for (const RegValue& r : reads())
        regs.push_back(r.first);
    EXPECT_EQ(regs, (std::vector<int>{0x00, 0x01, 0x02, 0x03, 0x04, 0x0E, 0x0F, 0x10, 0x11, 0x12,
                                      0x13, 0x14, 0x15, 0x16}));
}

TEST_F(PageTest, FailedReadsAndWriteEventsChangeNothing) {
    chipShows(0x00, 0x12);
    page1->slt_commEvent(0, 0x00, 8, 0x55, 0);
    page1->slt_commEvent(1, 0x00, 8, 0x55, 1);
    page1->slt_commEvent(0, 0x02, 8, 0x00, 0);
    EXPECT_EQ(control1<QLabel>("label_dev_id")->text(), "0x12");
    EXPECT_FALSE(control1<QCheckBox>("cb_ena")->isChecked());
    page1->slt_commEvent(1, 0x02, 8, 0x02, 1);
    EXPECT_FALSE(control1<QCheckBox>("cb_ena")->isChecked());
}

TEST_F(PageTest, DemoModeWritesNothing) {
    chipShows(0x02, 0x00);
    AppManager::setDemoMode(true);
    control1<QCheckBox>("cb_ena")->click();
    emit control1<QComboBox>("comboBox_sldet")->activated(2);
    page1->writeAll();
    EXPECT_TRUE(writes().empty());
    EXPECT_EQ(board->chipRegister(0x02), 0x00);
}

TEST_F(PageTest, LoadDefaultsShowsTheDemoValuesAndWritesNothing) {
    AppManager::setDemoMode(true);
    page1->loadDefaults();
    EXPECT_EQ(control1<QLabel>("label_dev_id")->text(), "0x12");
    EXPECT_EQ(control1<QLabel>("label_adim_value")->text(), "100.000%");
    EXPECT_EQ(control1<QLabel>("label_ical_value")->text(), "100%");
    EXPECT_EQ(control1<QComboBox>("comboBox_fpwm")->currentIndex(), 1);
    EXPECT_TRUE(control1<QCheckBox>("cb_hw_rst")->isChecked());
    EXPECT_TRUE(control1<QCheckBox>("cb_dis_s2g")->isChecked());
    EXPECT_TRUE(writes().empty());
}

TEST_F(PageTest, AutoReadTakesUpAChangedPeriodAfterTheCurrentOne) {
    AppManager::setAutoReadTimeout(40);
    frmMainPage page;
    auto* timer = page.findChild<QTimer*>(QStringLiteral("autoReadTimer"));
    ASSERT_NE(timer, nullptr);
    page.setAutoRead(true);
    AppManager::setAutoReadTimeout(60);
    EXPECT_EQ(timer->interval(), 40);
    QElapsedTimer waited;
    waited.start();
    while (reads().empty() && waited.elapsed() < 2000)
        QTest::qWait(5);
    ASSERT_FALSE(reads().empty());
    EXPECT_EQ(timer->interval(), 60);
    EXPECT_TRUE(timer->isActive());
    page.setAutoRead(false);
    EXPECT_FALSE(timer->isActive());
}

} // namespace
