#include "PageFixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QTest>
#include <QTimer>

namespace {

// A box writes the cached value with its bit changed and reads back; a lamp reads.
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
        const int shownValue = row.written < 0 ? row.chipAfterRead : row.written;
        EXPECT_EQ(writes(), row.written < 0 ? Writes{} : (Writes{{row.reg, row.written}}));
        EXPECT_EQ(events(0), (Writes{{row.reg, shownValue}}));
        EXPECT_EQ(control1<QCheckBox>(row.box)->isChecked(), row.checkedAfter);
    }
    EXPECT_TRUE(control1<QCheckBox>("cb_out1o")->isChecked());
    chipShows(0x16, 0xC5);
    control1<QSlider>("horizontalSlider_ical")->setValue(6);
    EXPECT_EQ(writes(), (Writes{{0x16, 0x06}}));
}

// ICAL is bits 5:0; bit 6 of DIAG lights no lamp.
TEST_F(PageTest, AReadShowsTheFieldsAndWritesNothing) {
    const std::pair<std::pair<uint8_t, uint8_t>, const char*> rows[] = {
        {{0x04, 128}, "horizontalSlider_adim 128 label_adim_value 50.196%"},
        {{0x16, 63}, "label_ical_value 100%"},
        {{0x16, 0xC5}, "horizontalSlider_ical 5 label_ical_value 42%"},
        {{0x01, 0xA3}, "label_rev_id 0x03"},
        {{0x00, 0x12}, "label_dev_id 0x12"},
        {{0x10, 0x07}, "comboBox_tdim -1"},
        {{0x03, 0x48}, "cb_LoDIM3 1 cb_dim_ext 1"},
        {{0x11, 0x02}, "cb_out2o 1 cb_out1o 0"},
        {{0x12, 0x01}, "cb_out1sg 1"},
        {{0x13, 0x08}, "cb_out4sl 1 cb_out3sl 0"},
        {{0x15, 0x40}, "cb_rtoor 0 cb_hw_rst 0"}};
    for (const auto& [read, pairs] : rows) {
        SCOPED_TRACE(pairs);
        spy.clear();
        board->setChipRegister(read.first, read.second);
        page1->slt_readRegister(read.first);
        expectShown(pairs);
        EXPECT_TRUE(writes().empty());
        EXPECT_EQ(regs(0), std::vector<int>{read.first});
    }
}

TEST_F(PageTest, ReadAllAndWriteAllTakeThePagesRegistersInOrder) {
    board->setChipRegister(0x03, 0xF5);
    page1->readAll();
    EXPECT_EQ(regs(0), (std::vector<int>{0x00, 0x01, 0x02, 0x03, 0x04, 0x0E, 0x0F, 0x10, 0x11, 0x12,
                                         0x13, 0x14, 0x15, 0x16}));
    spy.clear();
    page1->writeAll();
    // Without the LoDIM status bits of 0x03.
    Writes expected;
    for (int reg : {0x02, 0x03, 0x04, 0x0E, 0x0F, 0x10, 0x14, 0x16})
        expected.emplace_back(reg, reg == 0x03 ? 0x05 : board->chipRegister(uint8_t(reg)));
    EXPECT_EQ(writes(), expected);
    EXPECT_TRUE(regs(0).empty());
}

TEST_F(PageTest, FailedReadsAndWriteEventsChangeNothing) {
    chipShows(0x00, 0x12);
    page1->slt_commEvent(0, 0x00, 8, 0x55, 0);
    page1->slt_commEvent(1, 0x00, 8, 0x55, 1);
    page1->slt_commEvent(1, 0x02, 8, 0x02, 1);
    expectShown("label_dev_id 0x12 cb_ena 0");
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
    ASSERT_TRUE(QTest::qWaitFor([this] { return regs(0).size() >= 14; }));
    EXPECT_EQ(timer->interval(), 60);
    EXPECT_TRUE(timer->isActive());
    page.setAutoRead(false);
    EXPECT_FALSE(timer->isActive());
}

} // namespace
