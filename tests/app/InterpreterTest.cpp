#include "CommEventRecorder.h"
#include "DeviceAccess.h"
#include "InterpreterHarness.h"
#include "PrintEscaped.h"
#include "SimulatedBoard.h"
#include "SystemManager.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QStringList>

#include <sstream>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

constexpr int kNoReply = -1;
const char* const kSyntaxError = "\tSyntax error.";

struct LineCase {
    const char* line;
    const char* text; // reply text, unused without a reply
    int success;      // 1, 0, or kNoReply
    std::vector<CommEvent> events;
    const char* sent; // hexadecimal bytes over the link; nullptr: not checked
};

Bytes hexBytes(const char* text) {
    Bytes out;
    std::istringstream words(text);
    for (std::string word; words >> word;)
        out.push_back(static_cast<uint8_t>(std::stoul(word, nullptr, 16)));
    return out;
}

void PrintTo(const LineCase& c, std::ostream* os) {
    printEscaped(c.line, os);
}

void expectLine(InterpreterHarness& interpreter, const LineCase& c) {
    CommEventRecorder events;
    const QString line = QString::fromUtf8(c.line);
    const std::vector<CommandReply> replies = interpreter.run(line);
    if (c.success == kNoReply) {
        EXPECT_TRUE(replies.empty()) << replies.front();
    } else {
        EXPECT_EQ(replies,
                  (std::vector<CommandReply>{{line, QString::fromUtf8(c.text), c.success == 1}}));
    }
    EXPECT_EQ(events.events(), c.events);
}

// Every line is run on a freshly reset and connected board whose RAR4120E
// holds its power-on values (DEV_ID 0x12, REV_ID 0x00, IMODE 0x08, ADIM 0xFF,
// SETTING 0x10, DISABLE 0x10).
class InterpreterLineTest : public SimulatedBoardTest,
                            public testing::WithParamInterface<LineCase> {
  protected:
    InterpreterHarness interpreter;
};

TEST_P(InterpreterLineTest, RepliesAndReports) {
    const LineCase& c = GetParam();
    expectLine(interpreter, c);
    if (c.sent) {
        EXPECT_EQ(hostBytes(), hexBytes(c.sent));
    }
}

INSTANTIATE_TEST_SUITE_P(
    RegisterCommands, InterpreterLineTest,
    testing::ValuesIn(std::vector<LineCase>{
        {"writebyte 2A 04 3C", "", 1, {{1, 4, 8, 0x3C, 1}}, "A0 05 02 00 2A 04 3C"},
        {"WRITEBYTE 0x2A 0x04 0x3C", "", 1, {{1, 4, 8, 0x3C, 1}}, "A0 05 02 00 2A 04 3C"},
        {"writebyte 12A 104 13C extra", "", 1, {{1, 4, 8, 0x3C, 1}}, "A0 05 02 00 2A 04 3C"},
        {"\"writebyte\" 2A 04 3C", "", 1, {{1, 4, 8, 0x3C, 1}}, nullptr},
        {"writebyte 2A 01", kSyntaxError, 0, {}, ""},
        {"writebyte zz 04 01", "\tWriteByte invalid address parameter.", 0, {}, ""},
        {"writebyte 2A zz 01", "\tWriteByte invalid register parameter.", 0, {}, ""},
        {"writebyte 2A 04 zz", "\tWriteByte invalid data parameter.", 0, {}, ""},
        {"writebyte 70 04 01", "\tWriteByte failed.", 0, {{1, 4, 8, 1, 0}}, "A0 05 02 00 70 04 01"},
        {"writeword 2A 05 1234", "", 1, {{1, 5, 16, 0x1234, 1}}, "A0 05 03 00 2A 05 34 12"},
        {"writeword 2A 05 ABCDE", "", 1, {{1, 5, 16, 0xBCDE, 1}}, "A0 05 03 00 2A 05 DE BC"},
        {"writeword 2A 05", kSyntaxError, 0, {}, ""},
        {"writeword x 05 1", "\tWriteWord invalid address parameter.", 0, {}, ""},
        {"writeword 2A x 1", "\tWriteWord invalid register parameter.", 0, {}, ""},
        {"writeword 2A 05 x", "\tWriteWord invalid data parameter.", 0, {}, ""},
        {"writeword 70 05 1234", "\tWriteWord failed.", 0, {{1, 5, 16, 0x1234, 0}}, nullptr},
        {"readbyte 2A 00", "\t12", 1, {{0, 0, 8, 0x12, 1}}, "A0 05 01 01 2A 00"},
        {"readbyte 2a 3", "\t8", 1, {{0, 3, 8, 0x08, 1}}, nullptr},
        {"readbyte 2A 04", "\tff", 1, {{0, 4, 8, 0xFF, 1}}, nullptr},
        {"readbyte 2A", kSyntaxError, 0, {}, ""},
        {"readbyte zz 00", "\tReadByte invalid address parameter.", 0, {}, ""},
        {"readbyte 2A zz", "\tReadByte invalid register parameter.", 0, {}, ""},
        {"readbyte 70 00", "\tReadByte failed.", 0, {{0, 0, 8, 0, 0}}, nullptr},
        {"readword 2A 00", "\t12", 1, {{0, 0, 16, 0x0012, 1}}, "A0 05 01 02 2A 00"},
        {"readword 2A 0E", "\t1010", 1, {{0, 0x0E, 16, 0x1010, 1}}, nullptr},
        {"readword 2A", kSyntaxError, 0, {}, ""},
        {"readword zz 00", "\tReadWord invalid address parameter.", 0, {}, ""},
        {"readword 2A zz", "\tReadWord invalid register parameter.", 0, {}, ""},
        {"readword 70 00", "\tReadWord failed.", 0, {{0, 0, 16, 0, 0}}, nullptr}}));

INSTANTIATE_TEST_SUITE_P(RawCommands, InterpreterLineTest,
                         testing::ValuesIn(std::vector<LineCase>{
                             {"sendraw 1 A0 00", "\tB0 ", 1, {}, "A0 00"},
                             {"sendraw 0 A0 00", "\tB0 ", 1, {}, "A0 00"},
                             {"sendraw 2 A0 00 A3 00", "\tB0 B3 ", 1, {}, "A0 00 A3 00"},
                             {"sendraw 2 A0 00",
                              "\tB0 \n\tWarning: length of response does not match the "
                              "return bytes value.",
                              0,
                              {},
                              "A0 00"},
                             // A count or byte that does not convert is refused: nothing is sent.
                             {"sendraw 2 A0 zz 01", "\tSendRaw failed.", 0, {}, ""},
                             {"sendraw zz A0 00", "\tSendRaw failed.", 0, {}, ""},
                             {"sendraw 1", kSyntaxError, 0, {}, ""},
                             {"spitransfer 3 11 22 33", "\t11 22 33 ", 1, {}, nullptr},
                             {"spitransfer 4 AA", "\tAA 0 0 0 ", 1, {}, nullptr},
                             {"spitransfer 0 12", "\tSpiTransfer failed.", 0, {}, ""},
                             {"spitransfer zz 12", "\tSpiTransfer failed.", 0, {}, ""},
                             {"spitransfer -1 12", "\tSpiTransfer failed.", 0, {}, ""},
                             {"spitransfer 191 12", "\tSpiTransfer failed.", 0, {}, ""},
                             {"spitransfer FFFFFFF 12", "\tSpiTransfer failed.", 0, {}, ""},
                             {"spitransfer 1", kSyntaxError, 0, {}, ""},
                             {"wrbytes 2A 1 2 00", "\t12 0 ", 1, {}, "A0 05 01 02 2A 00"},
                             {"wrbytes 2A 1 0 03", "\t8 ", 1, {}, "A0 05 01 01 2A 03"},
                             {"wrbytes 70 1 1 00", "\tWRBytes failed.", 0, {}, nullptr},
                             {"wrbytes 2A 191 1 00", "\tWRBytes failed.", 0, {}, ""},
                             {"wrbytes 2A 1 191 00", "\tWRBytes failed.", 0, {}, ""},
                             {"wrbytes 2A -1 1 00", "\tWRBytes failed.", 0, {}, ""},
                             {"wrbytes 2A 1 -2 00", "\tWRBytes failed.", 0, {}, ""},
                             {"wrbytes 2A 1 1", kSyntaxError, 0, {}, ""},
                             // A mistyped address must not reach the general-call address 0x00.
                             {"wrbytes 2G 1 1 06", "\tWRBytes failed.", 0, {}, ""},
                             {"wrbytes 2A 1x 1 06", "\tWRBytes failed.", 0, {}, ""},
                             {"wrbytes 2A 1 1y 06", "\tWRBytes failed.", 0, {}, ""},
                             {"wrbytes 2A 2 1 04 5Z", "\tWRBytes failed.", 0, {}, ""},
                             {"write8 A5", "", 1, {}, "A1 A5"},
                             {"write8 zz", "\tSyntax Error.", 0, {}, ""},
                             {"write8", kSyntaxError, 0, {}, ""},
                             {"receive8 0", "\tff", 1, {}, "A2 00"},
                             {"receive8 zz", "\tSyntax Error.", 0, {}, ""},
                             {"receive8", kSyntaxError, 0, {}, ""},
                             {"i2cstart", "", kNoReply, {}, "A0 00"},
                             {"I2CRepeatedStart", "", kNoReply, {}, "A0 01"},
                             {"i2cstop", "", kNoReply, {}, "A3 00"}}));

INSTANTIATE_TEST_SUITE_P(BoardCommands, InterpreterLineTest,
                         testing::ValuesIn(std::vector<LineCase>{
                             {"writegpio 3 1", "", 1, {{10, 3, 8, 1, 1}}, "F3 01"},
                             {"writegpio x 1", "\tSyntax Error.", 0, {}, ""},
                             {"writegpio 3 x", "\tSyntax Error.", 0, {}, ""},
                             {"writegpio 3", kSyntaxError, 0, {}, ""},
                             {"readgpio 3", "\t0", 1, {{11, 3, 8, 0, 1}}, "E3 00"},
                             {"readgpio x", kSyntaxError, 0, {}, ""},
                             {"readgpio 0x3", kSyntaxError, 0, {}, ""},
                             {"readgpio", kSyntaxError, 0, {}, ""},
                             {"seti2cspeed 24", "\tI2C speed changed", 1, {}, "A6 24"},
                             {"SetI2CSpeed 30", "\tI2C speed changed", 1, {}, "A6 30"},
                             {"seti2cspeed zz", "\tI2C speed change failed.", 0, {}, ""},
                             {"seti2cspeed", kSyntaxError, 0, {}, ""},
                             {"setspispeed 4000", "\tSPI speed changed", 1, {}, "AD 14"},
                             {"setspispeed fast", "\tSPI speed change failed.", 0, {}, ""},
                             {"setspiconfig 5", "\tSPI config changed", 1, {}, nullptr},
                             {"setspiconfig zz", "\tSPI config change failed.", 0, {}, ""},
                             {"spicspin 9", "", kNoReply, {}, nullptr},
                             {"spicspin x", "", kNoReply, {}, ""},
                             {"spicsassert", "\tCS asserted", 1, {}, "F9 00"},
                             {"spicsdeassert", "\tCS deasserted", 1, {}, "F9 01"},
                             {"spicsassert with extra words", "\tCS asserted", 1, {}, "F9 00"}}));

INSTANTIATE_TEST_SUITE_P(
    TextAndScript, InterpreterLineTest,
    testing::ValuesIn(std::vector<LineCase>{
        {"echo Hello world", "\tHello world", 1, {}, ""},
        {"echo done\n", "\tdone\n", 1, {}, ""},
        {"echo done\r\n", "\tdone\r\n", 1, {}, ""},
        {"ECHO  two  spaces ", "\t two  spaces ", 1, {}, ""},
        {"echo", "\techo", 1, {}, ""},
        {"echo \"quoted\" writebyte 2A 04 00", "\t\"quoted\" writebyte 2A 04 00", 1, {}, ""},
        {"# read the status register", "", kNoReply, {}, ""},
        {"#1", "", kNoReply, {}, ""},
        {"   #writebyte 2A 04 00", "", kNoReply, {}, ""},
        {"", "", kNoReply, {}, ""},
        {"      ", "", kNoReply, {}, ""},
        {"\t\r\n", "", kNoReply, {}, ""},
        {"wait 0", "", kNoReply, {}, ""},
        {"wait x", "", kNoReply, {}, ""},
        {"wait", kSyntaxError, 0, {}, ""},
        {"bogus 1 2", kSyntaxError, 0, {}, ""},
        {"\"\"", kSyntaxError, 0, {}, ""}}));

class InterpreterTest : public SimulatedBoardTest {
  protected:
    InterpreterHarness interpreter;

    CommandReply single(const QString& line) {
        const std::vector<CommandReply> replies = interpreter.run(line);
        if (replies.size() != 1) {
            ADD_FAILURE() << replies.size() << " replies to " << line.toStdString();
            return {};
        }
        return replies.front();
    }
};

TEST_F(InterpreterTest, WritesReachTheChipAndLeaveTheCache) {
    SystemManager::instance()->setRegister(0x04, 0x21);
    EXPECT_EQ(single("writebyte 2A 04 3C").text, QString());
    EXPECT_EQ(board().chipRegister(0x04), 0x3C);
    EXPECT_EQ(single("writeword 2A 05 1234").text, QString());
    EXPECT_EQ(board().chipRegister(0x05), 0x34);
    EXPECT_EQ(board().chipRegister(0x06), 0x12);
    EXPECT_EQ(single("readbyte 2A 04").text, QStringLiteral("\t3c"));
    EXPECT_EQ(SystemManager::instance()->getRegister(0x04), 0x21);
}

TEST_F(InterpreterTest, ByteLevelI2cReadOfARegister) {
    board().setChipRegister(0x04, 0x6C);
    for (const char* line : {"i2cstart", "write8 2A", "write8 04", "i2crepeatedstart"})
        interpreter.run(line);
    EXPECT_EQ(single("write8 2B").success, true);
    EXPECT_EQ(single("receive8 0"), (CommandReply{"receive8 0", "\t6c", true}));
    EXPECT_TRUE(interpreter.run("i2cstop").empty());
    EXPECT_EQ(hostBytes(), (Bytes{0xA0, 0x00, 0xA1, 0x2A, 0xA1, 0x04, 0xA0, 0x01, 0xA1, 0x2B, 0xA2,
                                  0x00, 0xA3, 0x00}));
}

TEST_F(InterpreterTest, WriteThenReadWritesTheGivenCountPaddedWithZero) {
    board().setChipRegister(0x05, 0x77);
    EXPECT_EQ(single("wrbytes 2A 2 1 04 5A 99 98"),
              (CommandReply{"wrbytes 2A 2 1 04 5A 99 98", "\t77 ", true}));
    EXPECT_EQ(board().chipRegister(0x04), 0x5A);
    EXPECT_EQ(board().lastHostWrite(), (Bytes{0xA0, 0x05, 0x02, 0x01, 0x2A, 0x04, 0x5A}));
    EXPECT_TRUE(single("wrbytes 2A 2 1 04").success);
    EXPECT_EQ(board().chipRegister(0x04), 0x00);
}

TEST_F(InterpreterTest, SpiTransferClocksTheCountWithZeroPadding) {
    EXPECT_EQ(single("spitransfer 5 11 22 zz 33").text, QStringLiteral("\t11 22 0 0 0 "));
    EXPECT_EQ(board().spiMosi(), (Bytes{0x11, 0x22, 0x00, 0x00, 0x00}));
}

TEST_F(InterpreterTest, SpiTransferOfTheLargestNativeBlock) {
    const CommandReply reply = single("spitransfer 100 5A");
    EXPECT_TRUE(reply.success);
    EXPECT_EQ(reply.text.count(QLatin1Char(' ')), 256);
    EXPECT_TRUE(reply.text.startsWith(QStringLiteral("\t5A 0 0 ")));
}

TEST_F(InterpreterTest, SpiCountsBeyondTheBuffersAreRefusedWithoutTraffic) {
    for (const char* line : {"spitransfer 191 01", "spitransfer 7FFFFFFF 01"}) {
        EXPECT_EQ(single(line), (CommandReply{line, "\tSpiTransfer failed.", false}));
    }
    EXPECT_TRUE(board().spiMosi().empty());
    EXPECT_TRUE(hostBytes().empty());
}

TEST_F(InterpreterTest, ByteListsStopAtTheLimit) {
    QString line = QStringLiteral("sendraw 1");
    for (int i = 0; i < 250; ++i)
        line += QStringLiteral(" 00");
    const CommandReply reply = single(line);
    EXPECT_FALSE(reply.success);
    EXPECT_EQ(hostBytes().size(), 199u);

    clearTraffic();
    QString spi = QStringLiteral("spitransfer C8");
    for (int i = 0; i < 250; ++i)
        spi += QStringLiteral(" 11");
    EXPECT_TRUE(single(spi).success);
    const Bytes mosi = board().spiMosi();
    ASSERT_EQ(mosi.size(), 200u);
    EXPECT_EQ(mosi[198], 0x11);
    EXPECT_EQ(mosi[199], 0x00);
}

TEST_F(InterpreterTest, BoardCommandsReachTheBoard) {
    EXPECT_TRUE(single("seti2cspeed 24").success);
    EXPECT_EQ(board().i2cSpeed(), 0x24);
    EXPECT_TRUE(single("setspispeed 4000").success);
    EXPECT_EQ(board().spiSpeed(), 0x14);
    EXPECT_TRUE(single("writegpio 4 1").success);
    EXPECT_TRUE(board().pin(4));
    EXPECT_EQ(single("readgpio 4").text, QStringLiteral("\t1"));
    board().setPin(4, false);
    EXPECT_EQ(single("readgpio 4").text, QStringLiteral("\t0"));
    EXPECT_TRUE(single("spicsassert").success);
    EXPECT_FALSE(board().pin(9));
    EXPECT_TRUE(single("spicsdeassert").success);
    EXPECT_TRUE(board().pin(9));
    EXPECT_TRUE(interpreter.run("spipulse8").empty());
    EXPECT_EQ(board().spiMosi().size(), 1u);
}

TEST_F(InterpreterTest, WaitBlocksForPositiveTimesOnly) {
    QElapsedTimer timer;
    timer.start();
    EXPECT_TRUE(interpreter.run("wait 120").empty());
    EXPECT_GE(timer.elapsed(), 120);

    timer.restart();
    EXPECT_TRUE(interpreter.run("wait -5000").empty());
    EXPECT_TRUE(interpreter.run("wait -1").empty());
    // Far below the 5 s a wrapped-around wait would take, with room for a loaded machine.
    EXPECT_LT(timer.elapsed(), 1000);
}

TEST_F(InterpreterTest, CommandsWithoutABoard) {
    boardDisconnect();
    boardConnected();
    clearTraffic();
    CommEventRecorder events;
    const std::vector<LineCase> cases{
        {"sendraw 1 A0 00", "\tSendRaw failed.", 0, {}, nullptr},
        {"spitransfer 2 11 22", "\tSpiTransfer failed.", 0, {}, nullptr},
        {"receive8 1", "\tSyntax Error.", 0, {}, nullptr},
        {"write8 55", "", 1, {}, nullptr},
        {"i2cstart", "", kNoReply, {}, nullptr},
        {"spicsassert", "\tCS assert failed.", 0, {}, nullptr},
        {"spicsdeassert", "\tCS deassert failed.", 0, {}, nullptr},
        {"seti2cspeed 30", "\tI2C speed change failed.", 0, {}, nullptr},
        {"readbyte 2A 00", "\tReadByte failed.", 0, {{0, 0, 8, 0, 0}}, nullptr},
        {"writebyte 2A 04 01", "\tWriteByte failed.", 0, {{1, 4, 8, 1, 0}}, nullptr},
        {"wrbytes 2A 1 1 00", "\tWRBytes failed.", 0, {}, nullptr},
        {"writegpio 3 1", "", 1, {{10, 3, 8, 1, 0}}, nullptr},
        {"readgpio 3", "\t0", 1, {{11, 3, 8, 0, 0}}, nullptr},
    };
    for (const LineCase& c : cases) {
        SCOPED_TRACE(c.line);
        expectLine(interpreter, c);
    }
    EXPECT_TRUE(hostBytes().empty());
}

} // namespace

// Firmware without native commands: SPI transfers of any length go out in
// portable form, so only the interpreter's own limit keeps them within its
// buffers.
class PortableBoardTest : public InterpreterTest {
    std::string boardConfig() const override { return "old_firmware = true\n"; }
};

TEST_F(PortableBoardTest, SpiCountsAreLimitedToTheBuffers) {
    EXPECT_EQ(single("spitransfer 191 01"),
              (CommandReply{"spitransfer 191 01", "\tSpiTransfer failed.", false}));
    EXPECT_TRUE(hostBytes().empty());

    const CommandReply largest = single("spitransfer 190 01");
    EXPECT_TRUE(largest.success);
    EXPECT_EQ(largest.text.count(QLatin1Char(' ')), 400);
    EXPECT_EQ(board().spiMosi().size(), 400u);
}

TEST_F(PortableBoardTest, WriteThenReadCountsAreLimitedToTheBuffers) {
    for (const char* line : {"wrbytes 2A 191 1 00", "wrbytes 2A 1 191 00"})
        EXPECT_EQ(single(line), (CommandReply{line, "\tWRBytes failed.", false}));
    EXPECT_TRUE(hostBytes().empty());

    const CommandReply largest = single("wrbytes 2A 1 190 00");
    EXPECT_TRUE(largest.success);
    EXPECT_EQ(largest.text.count(QLatin1Char(' ')), 400);
}
