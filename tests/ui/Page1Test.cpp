#include "PageFixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QSlider>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <ostream>

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

struct SliderCase {
    uint8_t reg;
    uint8_t chip;
    const char* slider;
    int position;
    const char* label;
    const char* text;
};

std::ostream& operator<<(std::ostream& os, const SliderCase& c) {
    return os << c.slider << " " << int(c.chip);
}

class SliderRead : public PageTest, public testing::WithParamInterface<SliderCase> {};

// A read moves the slider and its label and writes nothing back.
TEST_P(SliderRead, ShowsTheFieldAndWritesNothing) {
    const SliderCase& c = GetParam();
    board->setChipRegister(c.reg, c.chip);
    page1->slt_readRegister(c.reg);
    EXPECT_EQ(control1<QSlider>(c.slider)->value(), c.position);
    EXPECT_EQ(control1<QLabel>(c.label)->text(), c.text);
    EXPECT_TRUE(writes().empty());
    EXPECT_EQ(reads().size(), 1u);
    EXPECT_EQ(board->chipRegister(c.reg), c.chip);
}

INSTANTIATE_TEST_SUITE_P(
    AdimIcal, SliderRead,
    testing::Values(
        SliderCase{0x04, 128, "horizontalSlider_adim", 128, "label_adim_value", "50.196%"},
        SliderCase{0x04, 255, "horizontalSlider_adim", 255, "label_adim_value", "100.000%"},
        SliderCase{0x16, 0, "horizontalSlider_ical", 0, "label_ical_value", "37%"},
        SliderCase{0x16, 63, "horizontalSlider_ical", 63, "label_ical_value", "100%"},
        // ICAL is bits 5:0; bits 7:6 are not part of it.
        SliderCase{0x16, 0xC5, "horizontalSlider_ical", 5, "label_ical_value", "42%"},
        SliderCase{0x16, 0x40, "horizontalSlider_ical", 0, "label_ical_value", "37%"}));

TEST_F(PageTest, IcalSliderWritesItsSixBits) {
    chipShows(0x16, 0xC5);
    control1<QSlider>("horizontalSlider_ical")->setValue(6);
    EXPECT_EQ(writes(), (Writes{{0x16, 0x06}}));
}

struct ShownCase {
    uint8_t reg;
    uint8_t value;
    const char* label;
    const char* text;
};

std::ostream& operator<<(std::ostream& os, const ShownCase& c) {
    return os << c.label << " " << int(c.value);
}

class ShownText : public PageTest, public testing::WithParamInterface<ShownCase> {};

TEST_P(ShownText, ReadValueIsShownAsText) {
    const ShownCase& c = GetParam();
    board->setChipRegister(c.reg, c.value);
    page1->slt_readRegister(c.reg);
    EXPECT_EQ(control1<QLabel>(c.label)->text(), c.text);
}

INSTANTIATE_TEST_SUITE_P(Labels, ShownText,
                         testing::Values(ShownCase{0x01, 0xA3, "label_rev_id", "0x03"},
                                         ShownCase{0x00, 0x12, "label_dev_id", "0x12"}));

TEST_F(PageTest, TdimCodeWithoutItemLeavesNoCurrentItem) {
    chipShows(0x10, 0x07);
    EXPECT_EQ(control1<QComboBox>("comboBox_tdim")->currentIndex(), -1);
    EXPECT_FALSE(control1<QCheckBox>("cb_fade_gain")->isChecked());
    EXPECT_FALSE(control1<QCheckBox>("cb_fade_in_out")->isChecked());
}

TEST_F(PageTest, DiagBitSixLightsNoLamp) {
    chipShows(0x15, 0x40);
    for (const char* lamp :
         {"cb_rtoor", "cb_isetoor", "cb_bstuv", "cb_bstov", "cb_hw_rst", "cb_otw", "cb_ot"})
        EXPECT_FALSE(control1<QCheckBox>(lamp)->isChecked()) << lamp;
}

TEST_F(PageTest, LampsShowTheirBits) {
    chipShows(0x03, 0x48);
    EXPECT_TRUE(control1<QCheckBox>("cb_LoDIM3")->isChecked());
    EXPECT_FALSE(control1<QCheckBox>("cb_LoDIM4")->isChecked());
    EXPECT_TRUE(control1<QCheckBox>("cb_dim_ext")->isChecked());
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
