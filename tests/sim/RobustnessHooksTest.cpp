// The simulator's aids for fuzzing and long runs: answers chosen by the
// test, recurring faults, re-plugging and a board that keeps no record.
#include "SimTestUtil.h"

#include <gtest/gtest.h>

using namespace simtest;

namespace {

const Bytes kReadByte{0xA0, 0x05, 0x01, 0x01, 0x2A, 0x00}; // answered 0x12 0xB0

TEST(ScriptedReplies, AnswerEachWriteInTurnThenNothing) {
    auto board = makeBoard("fault = no_reply");
    board->setScriptedReplies({{0x01, 0x02}, {}, {0xFF, 0x00, 0xB0}});
    EXPECT_EQ(hex(talk(*board, kReadByte)), hex({0x01, 0x02}));
    EXPECT_TRUE(talk(*board, kReadByte).empty());
    EXPECT_EQ(hex(talk(*board, {0xC2})), hex({0xFF, 0x00, 0xB0}));
    EXPECT_TRUE(talk(*board, kReadByte).empty());
    EXPECT_EQ(board->hostWrites(), 4u);
}

TEST(ScriptedReplies, ResetStillSendsTheBannerAndClearingRestoresTheFirmware) {
    auto board = makeBoard();
    board->setScriptedReplies({{0x55}});
    board->endReset();
    EXPECT_EQ(hex(board->readAvailable()), hex(text("Kelvo PODLINK v01.05.47\r\n")));
    EXPECT_EQ(hex(talk(*board, kReadByte)), hex({0x55}));
    board->clearScriptedReplies();
    EXPECT_EQ(hex(talk(*board, kReadByte)), hex({0x12, 0xB0}));
}

TEST(FaultPeriod, RepeatsTheAfterAndTimesWindow) {
    auto board = makeBoard("fault = no_reply\nfault.after = 1\nfault.times = 1\nfault.period = 3");
    std::vector<size_t> sizes;
    for (int i = 0; i < 7; ++i)
        sizes.push_back(talk(*board, kReadByte).size());
    EXPECT_EQ(sizes, (std::vector<size_t>{2, 0, 2, 2, 0, 2, 2}));
}

TEST(Replug, ComesBackAfterTheDelayAndUnplugsAgain) {
    auto board = makeBoard("unplug_after = 1\nreplug_after_ms = 50");
    EXPECT_EQ(talk(*board, kReadByte).size(), 2u);
    EXPECT_TRUE(talk(*board, kReadByte).empty());
    EXPECT_TRUE(board->unplugged());
    sleepMs(80);
    EXPECT_FALSE(board->unplugged());
    EXPECT_EQ(talk(*board, kReadByte).size(), 2u);
    EXPECT_TRUE(talk(*board, kReadByte).empty());
    EXPECT_TRUE(board->unplugged());
}

TEST(Replug, NeverWithoutTheSetting) {
    auto board = makeBoard("unplug_after = 0");
    talk(*board, kReadByte);
    sleepMs(20);
    EXPECT_TRUE(board->unplugged());
}

TEST(TrafficRecord, CanBeSwitchedOff) {
    auto board = makeBoard("record_traffic = false");
    EXPECT_EQ(talk(*board, kReadByte).size(), 2u);
    EXPECT_TRUE(board->traffic().empty());
}

} // namespace
