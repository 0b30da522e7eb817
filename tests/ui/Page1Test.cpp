#include "PageFixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QTest>
#include <QTimer>

namespace {

// Every control as a user drives it: a box clicked, an item chosen, a slider
// dragged and released. A writer changes only its bits of the value read
// before; a lamp (before == after) writes nothing and reads its register
// again. control: the name after its kind's prefix; shows: the tick, the item
// or the position after the read-back.
TEST_F(PageTest, EveryControlWritesItsBitsAndShowsTheChipsAnswer) {
    const struct {
        const char* control;
        uint8_t reg, before, after;
        int shows;
    } rows[] = {{"bstforce", 0x02, 0x0A, 0x02, 0},    {"fast_ss", 0x02, 0x0A, 0x0E, 1},
                {"ena", 0x02, 0x0A, 0x08, 0},         {"psen", 0x02, 0x0A, 0x0B, 1},
                {"LoDIM4", 0x03, 0xA5, 0xA5, 1},      {"LoDIM3", 0x03, 0xA5, 0xA5, 0},
                {"LoDIM2", 0x03, 0xA5, 0xA5, 1},      {"LoDIM1", 0x03, 0xA5, 0xA5, 0},
                {"dim_ext", 0x03, 0x48, 0x40, 0},     {"hdim", 0x03, 0x48, 0x4C, 1},
                {"hdim_thr", 0x03, 0x4C, 0x4F, 3},    {"adim", 0x04, 0x10, 0x80, 128},
                {"fpwm", 0x0E, 0x80, 0xF0, 7},        {"sldet", 0x0E, 0xF0, 0xF2, 2},
                {"sg_retry", 0x0E, 0x35, 0xB5, 1},    {"ss_off", 0x0E, 0xBD, 0xB5, 0},
                {"ssl", 0x0E, 0x35, 0x31, 0},         {"cp_dis", 0x0F, 0x15, 0x35, 1},
                {"dis_s2g", 0x0F, 0x15, 0x05, 0},     {"dis4", 0x0F, 0x15, 0x1D, 1},
                {"dis3", 0x0F, 0x15, 0x11, 0},        {"dis2", 0x0F, 0x15, 0x17, 1},
                {"dis1", 0x0F, 0x15, 0x14, 0},        {"fade_gain", 0x10, 0x0B, 0x1B, 1},
                {"fade_in_out", 0x10, 0x0B, 0x03, 0}, {"tdim", 0x10, 0x18, 0x1D, 5},
                {"out4o", 0x11, 0x0A, 0x0A, 1},       {"out3o", 0x11, 0x0A, 0x0A, 0},
                {"out2o", 0x11, 0x0A, 0x0A, 1},       {"out1o", 0x11, 0x0A, 0x0A, 0},
                {"out4sg", 0x12, 0x05, 0x05, 0},      {"out3sg", 0x12, 0x05, 0x05, 1},
                {"out2sg", 0x12, 0x05, 0x05, 0},      {"out1sg", 0x12, 0x05, 0x05, 1},
                {"out4sl", 0x13, 0x0C, 0x0C, 1},      {"out3sl", 0x13, 0x0C, 0x0C, 1},
                {"out2sl", 0x13, 0x0C, 0x0C, 0},      {"out1sl", 0x13, 0x0C, 0x0C, 0},
                {"bstuvmask", 0x14, 0x0A, 0x1A, 1},   {"omask", 0x14, 0x0A, 0x02, 0},
                {"sgmask", 0x14, 0x0A, 0x0E, 1},      {"otwmask", 0x14, 0x0A, 0x08, 0},
                {"slmask", 0x14, 0x0A, 0x0B, 1},      {"rtoor", 0x15, 0xA6, 0xA6, 1},
                {"isetoor", 0x15, 0xA6, 0xA6, 1},     {"bstuv", 0x15, 0xA6, 0xA6, 0},
                {"bstov", 0x15, 0xA6, 0xA6, 0},       {"hw_rst", 0x15, 0xA6, 0xA6, 1},
                {"otw", 0x15, 0xA6, 0xA6, 1},         {"ot", 0x15, 0xA6, 0xA6, 0},
                {"ical", 0x16, 0xC5, 0x06, 6}};
    EXPECT_EQ(std::size(rows), size_t(page1->findChildren<QCheckBox*>().size() +
                                      page1->findChildren<QComboBox*>().size() +
                                      page1->findChildren<QSlider*>().size()));
    // Page 2 holds no on-time that a shorter period cuts.
    for (uint8_t reg = 0x05; reg <= 0x0D; ++reg)
        chipShows(reg, 0x00);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.control);
        chipShows(row.reg, row.before);
        QObject* c = nullptr;
        for (const char* kind : {"cb_", "comboBox_", "horizontalSlider_"})
            if (!c) c = page1->findChild<QObject*>(kind + QString(row.control));
        if (auto* box = qobject_cast<QCheckBox*>(c)) box->click();
        if (auto* combo = qobject_cast<QComboBox*>(c)) emit combo->activated(row.shows);
        if (auto* slider = qobject_cast<QSlider*>(c)) {
            // Without tracking the value changes when the handle is let go.
            slider->setSliderDown(true);
            slider->setSliderPosition(row.shows);
            slider->setSliderDown(false);
        }
        EXPECT_EQ(board->chipRegister(row.reg), row.after);
        EXPECT_EQ(writes(), (row.before == row.after ? Writes{} : Writes{{row.reg, row.after}}));
        EXPECT_EQ(events(0), (Writes{{row.reg, row.after}}));
        EXPECT_EQ(shown(c).toStdString(), std::to_string(row.shows));
    }
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
    ASSERT_TRUE(QTest::qWaitFor([this] { return regs(0).size() >= 14; }, 10000));
    EXPECT_EQ(timer->interval(), 60);
    EXPECT_TRUE(timer->isActive());
    page.setAutoRead(false);
    EXPECT_FALSE(timer->isActive());
}

} // namespace
