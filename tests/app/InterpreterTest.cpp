#include "CommEventRecorder.h"
#include "CommandTokenizer.h"
#include "DeviceAccess.h"
#include "SimulatedBoard.h"
#include "processCommand.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;
using Replies = std::vector<std::string>;

// Each reply as "+" (success) or "-" (failure) followed by its text.
Replies run(const QString& line) {
    QSignalSpy spy(processCommand::instance(), &processCommand::sig_commandProcessed);
    processCommand::instance()->slt_commandHandler(line);
    Replies replies;
    for (const QList<QVariant>& args : spy) {
        EXPECT_EQ(args.at(0).toString(), line);
        replies.push_back((args.at(2).toBool() ? "+" : "-") + args.at(1).toString().toStdString());
    }
    return replies;
}

Bytes hexBytes(const char* text) {
    const QByteArray bytes = QByteArray::fromHex(text);
    return Bytes(bytes.begin(), bytes.end());
}

struct Line {
    const char* line;
    const char* reply; // nullptr: no reply
    std::vector<CommEvent> events;
    const char* sent; // the bytes over the link; nullptr: not checked
};

void expectLine(const Line& c) {
    SCOPED_TRACE(c.line);
    simboard::board()->clearTraffic();
    CommEventRecorder events;
    EXPECT_EQ(run(QString::fromUtf8(c.line)), c.reply ? Replies{c.reply} : Replies{});
    EXPECT_EQ(events.events(), c.events);
    if (c.sent) {
        EXPECT_EQ(simboard::board()->hostBytes(), hexBytes(c.sent));
    }
}

// Lines refused with one reply (nullptr: no reply), nothing sent, no event.
const std::pair<const char*, std::vector<const char*>> kRefused[] = {
    {"-\tSyntax error.",
     {"writebyte 2A 01", "writeword 2A 05", "readbyte 2A", "readword 2A", "sendraw 1",
      "spitransfer 1", "wrbytes 2A 1 1", "write8", "receive8", "writegpio 3", "readgpio",
      "readgpio x", "readgpio 0x3", "seti2cspeed", "wait", "bogus 1 2", "\"\""}},
    // Numbers wider than their parameter, or negative, are refused as a word
    // that does not convert: never cut to another value and sent.
    {"-\tSyntax error.", {"readgpio 256", "readgpio -1"}},
    {"-\tSyntax Error.",
     {"write8 zz", "receive8 zz", "writegpio x 1", "writegpio 3 x", "write8 100", "write8 -1",
      "receive8 100", "receive8 -1", "writegpio 256 1", "writegpio -3 1", "writegpio 3 256",
      "writegpio 3 -1"}},
    {"-\tWriteByte invalid address parameter.",
     {"writebyte zz 04 01", "writebyte 12A 04 01", "writebyte -2A 04 01"}},
    {"-\tWriteByte invalid register parameter.",
     {"writebyte 2A zz 01", "writebyte 2A 104 7", "writebyte 2A -4 01"}},
    {"-\tWriteByte invalid data parameter.",
     {"writebyte 2A 04 zz", "writebyte 2A 04 100", "writebyte 2A 01 -1"}},
    {"-\tWriteWord invalid address parameter.", {"writeword 100 05 1234", "writeword -1 05 1"}},
    {"-\tWriteWord invalid register parameter.", {"writeword 2A 105 1234", "writeword 2A -5 1"}},
    {"-\tWriteWord invalid data parameter.",
     {"writeword 2A 05 x", "writeword 2A 05 10000", "writeword 2A 05 -1"}},
    {"-\tReadByte invalid address parameter.", {"readbyte 12A 00", "readbyte -1 00"}},
    {"-\tReadByte invalid register parameter.", {"readbyte 2A 100", "readbyte 2A -1"}},
    {"-\tReadWord invalid address parameter.", {"readword 12A 00", "readword -1 00"}},
    {"-\tReadWord invalid register parameter.",
     {"readword 2A zz", "readword 2A 100", "readword 2A -1"}},
    {"-\tSendRaw failed.",
     {"sendraw 2 A0 zz 01", "sendraw zz A0 00", "sendraw 1 A0 100", "sendraw 1 A0 -1"}},
    {"-\tSpiTransfer failed.",
     {"spitransfer 0 12", "spitransfer -1 12", "spitransfer 191 12", "spitransfer 7FFFFFFF 12",
      "spitransfer 5 11 22 zz 33", "spitransfer 2 100 00", "spitransfer 2 00 -1"}},
    // A mistyped address must not reach the general-call address 0x00.
    {"-\tWRBytes failed.",
     {"wrbytes 2A 191 1 00", "wrbytes 2A 1 191 00", "wrbytes 2A -1 1 00", "wrbytes 2G 1 1 06",
      "wrbytes 2A 1x 1 06", "wrbytes 2A 1 1y 06", "wrbytes 2A 2 1 04 5Z", "wrbytes 12A 1 1 00",
      "wrbytes -1 1 1 00", "wrbytes 2A 2 1 04 100", "wrbytes 2A 1 1 -1"}},
    {"-\tI2C speed change failed.", {"seti2cspeed zz", "seti2cspeed 124", "seti2cspeed -1"}},
    {"-\tSPI speed change failed.", {"setspispeed fast"}},
    {"-\tSPI config change failed.", {"setspiconfig zz", "setspiconfig 104", "setspiconfig -1"}},
    {"-\tNo command nosuch. Type help for the list.", {"help nosuch"}},
    // A negative wait would wrap around to an almost endless sleep.
    {nullptr,
     {"# read the status register", "#1", "   #writebyte 2A 04 00", "", "  \t\r\n", "wait 0",
      "wait x", "wait -1", "wait -2147483648", "spicspin x", "spicspin 256", "spicspin -1"}},
};

// In order on one board; the RAR4120E starts at its power-on values.
const Line kBoardLines[] = {
    {"readbyte 2A 00", "+\t12", {{0, 0, 8, 0x12, 1}}, "A0 05 01 01 2A 00"},
    {"readbyte 2a 04", "+\tff", {{0, 4, 8, 0xFF, 1}}, nullptr},
    {"readbyte 70 00", "-\tReadByte failed.", {{0, 0, 8, 0, 0}}, nullptr},
    {"readword 2A 00", "+\t12", {{0, 0, 16, 0x0012, 1}}, "A0 05 01 02 2A 00"},
    {"readword 70 00", "-\tReadWord failed.", {{0, 0, 16, 0, 0}}, nullptr},
    {"writebyte 2A 04 3C", "+", {{1, 4, 8, 0x3C, 1}}, "A0 05 02 00 2A 04 3C"},
    {"WRITEBYTE 0x2A 0x04 0x3C", "+", {{1, 4, 8, 0x3C, 1}}, "A0 05 02 00 2A 04 3C"},
    {"writebyte 2A 04 3C extra", "+", {{1, 4, 8, 0x3C, 1}}, "A0 05 02 00 2A 04 3C"},
    // The widest values of each parameter still go out.
    {"writebyte 2A FF FF", "-\tWriteByte failed.", {{1, 0xFF, 8, 0xFF, 0}}, "A0 05 02 00 2A FF FF"},
    {"writebyte 70 04 01", "-\tWriteByte failed.", {{1, 4, 8, 1, 0}}, "A0 05 02 00 70 04 01"},
    {"writeword 2A 05 FFFF", "+", {{1, 5, 16, 0xFFFF, 1}}, "A0 05 03 00 2A 05 FF FF"},
    {"writeword 70 05 1234", "-\tWriteWord failed.", {{1, 5, 16, 0x1234, 0}}, nullptr},
    {"sendraw 1 A0 00", "+\tB0 ", {}, "A0 00"},
    {"sendraw 0 A0 00", "+\tB0 ", {}, "A0 00"},
    {"sendraw 2 A0 00 A3 00", "+\tB0 B3 ", {}, "A0 00 A3 00"},
    {"sendraw 2 A0 00",
     "-\tB0 \n\tWarning: length of response does not match the return bytes value.",
     {},
     "A0 00"},
    {"spitransfer 4 AA", "+\tAA 0 0 0 ", {}, nullptr},
    {"wrbytes 2A 1 2 00", "+\t12 0 ", {}, "A0 05 01 02 2A 00"},
    {"wrbytes 2A 1 0 03", "+\t8 ", {}, "A0 05 01 01 2A 03"},
    {"wrbytes 70 1 1 00", "-\tWRBytes failed.", {}, nullptr},
    {"readgpio 3", "+\t0", {{11, 3, 8, 0, 1}}, "E3 00"},
    {"writegpio 3 1", "+", {{10, 3, 8, 1, 1}}, "F3 01"},
    {"readgpio 3", "+\t1", {{11, 3, 8, 1, 1}}, "E3 00"},
    {"seti2cspeed 24", "+\tI2C speed changed", {}, "A6 24"},
    {"setspispeed 4000", "+\tSPI speed changed", {}, "AD 14"},
    // Mode bits: CPHA, CPOL, MSB first; the board's control bits: CPOL, CPHA, LSB first.
    {"setspiconfig 5", "+\tSPI config changed", {}, "AE 80 AE 80 AE 01"},
    {"setspiconfig 2", "+\tSPI config changed", {}, "AE 80 AE 05 AE 80 AE 06"},
    {"spicspin 5", nullptr, {}, ""},
    {"spicsassert", "+\tCS asserted", {}, "F5 00"},
    {"spicsdeassert", "+\tCS deasserted", {}, "F5 01"},
    {"spicspin 9", nullptr, {}, ""},
    // Counts are clocked with zero padding.
    {"spitransfer 5 11 22", "+\t11 22 0 0 0 ", {}, "A0 0A 05 11 22 00 00 00"},
    {"spipulse8", nullptr, {}, "A0 0A 01 00"},
    // The chip's register pointer moves on after each byte; wrbytes writes the
    // given count, padded with zero, then reads.
    {"writeword 2A 05 6C34", "+", {{1, 5, 16, 0x6C34, 1}}, "A0 05 03 00 2A 05 34 6C"},
    {"readbyte 2A 06", "+\t6c", {{0, 6, 8, 0x6C, 1}}, "A0 05 01 01 2A 06"},
    {"wrbytes 2A 2 1 04 5A 99 98", "+\t34 ", {}, "A0 05 02 01 2A 04 5A"},
    {"wrbytes 2A 2 1 04", "+\t34 ", {}, "A0 05 02 01 2A 04 00"},
    {"readbyte 2A 04", "+\t0", {{0, 4, 8, 0, 1}}, "A0 05 01 01 2A 04"},
    // A register read byte by byte.
    {"i2cstart", nullptr, {}, "A0 00"},
    {"write8 2A", "+", {}, "A1 2A"},
    {"write8 06", "+", {}, "A1 06"},
    {"i2crepeatedstart", nullptr, {}, "A0 01"},
    {"write8 2B", "+", {}, "A1 2B"},
    {"receive8 0", "+\t6c", {}, "A2 00"},
    {"i2cstop", nullptr, {}, "A3 00"},
    {"echo Hello world", "+\tHello world", {}, ""},
    {"ECHO  two  spaces ", "+\t two  spaces ", {}, ""},
    {"echo done\r\n", "+\tdone\r\n", {}, ""},
    {"echo", "+\techo", {}, ""},
    {"HELP WriteByte",
     "+\twritebyte address register data (hex): Writes one byte to a device register over SMBus; "
     "logs a WriteByte row. Example: writebyte 2A 01 FF",
     {},
     ""},
};

class InterpreterTest : public SimulatedBoardTest {};

TEST_F(InterpreterTest, LinesAgainstTheBoard) {
    SystemManager::instance()->setRegister(0x06, 0x21);
    for (const auto& refused : kRefused)
        for (const char* line : refused.second)
            expectLine({line, refused.first, {}, ""});
    for (const Line& c : kBoardLines)
        expectLine(c);
    // Reads leave the register pages' cache alone.
    EXPECT_EQ(SystemManager::instance()->getRegister(0x06), 0x21);
}

TEST_F(InterpreterTest, LinesWithoutABoard) {
    boardDisconnect();
    boardConnected();
    const Line lines[] = {
        {"sendraw 1 A0 00", "-\tSendRaw failed.", {}, ""},
        {"spitransfer 2 11 22", "-\tSpiTransfer failed.", {}, ""},
        {"receive8 1", "-\tSyntax Error.", {}, ""},
        {"write8 55", "+", {}, ""},
        {"i2cstart", nullptr, {}, ""},
        {"spipulse8", nullptr, {}, ""},
        {"spicsassert", "-\tCS assert failed.", {}, ""},
        {"seti2cspeed 30", "-\tI2C speed change failed.", {}, ""},
        {"readbyte 2A 00", "-\tReadByte failed.", {{0, 0, 8, 0, 0}}, ""},
        {"writegpio 3 1", "+", {{10, 3, 8, 1, 0}}, ""},
        {"readgpio 3", "+\t0", {{11, 3, 8, 0, 0}}, ""},
    };
    for (const Line& c : lines)
        expectLine(c);
}

TEST_F(InterpreterTest, ByteListsStopAtTheLimit) {
    const QString bytes = QStringLiteral(" 11").repeated(250);
    EXPECT_EQ(run("sendraw 1" + bytes).at(0).front(), '-');
    EXPECT_EQ(hostBytes().size(), 199u);
    EXPECT_EQ(run("spitransfer C8" + bytes).at(0).front(), '+');
    Bytes mosi(199, 0x11);
    mosi.push_back(0x00);
    EXPECT_EQ(board().spiMosi(), mosi);
    // The largest native block.
    const Replies largest = run("spitransfer 100 5A");
    ASSERT_EQ(largest.size(), 1u);
    EXPECT_EQ(largest[0].rfind("+\t5A 0 0 ", 0), 0u);
    EXPECT_EQ(std::count(largest[0].begin(), largest[0].end(), ' '), 256);
}

// Old firmware: only the interpreter's own limit keeps counts within its buffers.
class PortableBoardTest : public InterpreterTest {
    std::string boardConfig() const override { return "old_firmware = true\n"; }
};

TEST_F(PortableBoardTest, CountsAreLimitedToTheBuffers) {
    for (const char* line : {"spitransfer 191 01", "wrbytes 2A 191 1 00", "wrbytes 2A 1 191 00"})
        expectLine(
            {line, line[0] == 's' ? "-\tSpiTransfer failed." : "-\tWRBytes failed.", {}, ""});
    for (const char* line : {"spitransfer 190 01", "wrbytes 2A 1 190 00"}) {
        const Replies largest = run(line);
        ASSERT_EQ(largest.size(), 1u) << line;
        EXPECT_EQ(largest[0].front(), '+') << line;
        EXPECT_EQ(std::count(largest[0].begin(), largest[0].end(), ' '), 400) << line;
    }
    EXPECT_EQ(board().spiMosi().size(), 400u);
}

TEST(TokenizerTest, SplitsIntoWords) {
    const std::pair<const char*, QStringList> rows[] = {
        {"", {}},
        {"  readbyte\t2A   00  ", {"readbyte", "2A", "00"}},
        {"echo done\r\n", {"echo", "done"}},
        {"statusmsga \"two  words \"", {"statusmsga", "two  words "}},
        {"a\"b c\"d", {"a", "b c", "d"}},
        {"x \"unclosed quote  kept", {"x", "unclosed quote  kept"}},
        {"\"\"\"\"", {"", ""}}};
    for (const auto& row : rows)
        EXPECT_EQ(tokenizeCommandLine(QString::fromUtf8(row.first)), row.second) << row.first;
}

// The interpreter's 23 commands, the comment, then words that begin none.
const QStringList kWords =
    QStringLiteral("writebyte writeword readbyte readword sendraw spitransfer wrbytes write8 "
                   "receive8 writegpio readgpio spipulse8 i2cstart i2crepeatedstart i2cstop "
                   "seti2cspeed setspispeed setspiconfig spicspin spicsassert spicsdeassert "
                   "wait echo # bogus  \" zz 0x -1 -80000000 7FFFFFFF 100000000 191 190 \"\"")
        .split(' ');

TEST_F(InterpreterTest, HelpListsEveryCommandOnOneScreen) {
    const Replies help = run("help");
    ASSERT_EQ(help.size(), 1u);
    EXPECT_EQ(run("?"), help);
    const QStringList lines = QString::fromStdString(help[0]).mid(1).split('\n');
    EXPECT_LE(lines.size(), 25);
    QStringList names = lines.last().split(' ').mid(2);
    EXPECT_EQ(lines.last().section(' ', 0, 2), "\twithout arguments: readall");
    for (const QString& line : lines)
        names << line.section(' ', 0, 0).mid(1);
    for (const QString& name :
         kWords.mid(0, 24) + QStringList{"setaddress", "readall", "writeall", "autoread",
                                         "statusmsga", "help", "?"})
        EXPECT_TRUE(names.contains(name)) << name.toStdString();
    // The command reference beside the programs is written from the same table.
    QFile reference(QCoreApplication::applicationDirPath() + "/help/commands.html");
    ASSERT_TRUE(reference.open(QIODevice::ReadOnly)) << reference.fileName().toStdString();
    const QByteArray html = reference.readAll();
    EXPECT_TRUE(html.contains("<tr><td><code>writebyte</code></td><td>address register data (hex)"
                              "</td><td>Writes one byte to a device register over SMBus; logs a "
                              "WriteByte row.</td><td><code>writebyte 2A 01 FF</code></td></tr>"));
    EXPECT_TRUE(html.contains("<td><code>statusmsga &quot;Test 3 running&quot;</code></td></tr>"));
}

// Random and mutated lines: each is answered once or not at all, after a tab.
void runRandomLines(std::mt19937& random, int count, bool towardDevice) {
    // The 27 words up to the lone quote begin lines; any word may follow.
    const QStringList& words = kWords;
    const auto pick = [&random](int n) { return int(random() % unsigned(n)); };
    while (count > 0) {
        QString line = words[pick(27)];
        if (pick(2)) line = line.toUpper();
        for (int i = 0, n = pick(8) ? pick(6) : pick(450); i < n; ++i) {
            const QString word = i == 0 && towardDevice && pick(4) ? QStringLiteral("2A")
                                 : pick(2) ? QString::number(pick(0x1100) - 0x100, 16)
                                           : words[pick(words.size())];
            line += (pick(6) ? " " : "\t ") + word;
        }
        for (int edits = pick(3) ? 0 : 1 + pick(4); edits > 0; --edits) {
            if (pick(2))
                line.insert(pick(line.size() + 1), QChar(ushort(1 + pick(0x2FF))));
            else
                line.remove(pick(line.size() + 1), 1);
        }
        const QStringList typed = tokenizeCommandLine(line);
        // A real wait only slows the run down.
        if (typed.size() > 1 && typed[0].toLower() == "wait" && typed[1].toInt() > 2) continue;
        --count;
        const Replies replies = run(line);
        ASSERT_LE(replies.size(), 1u) << line.toStdString();
        if (!replies.empty()) {
            EXPECT_TRUE(replies[0] == "+" || replies[0].find('\t') == 1) << line.toStdString();
        }
    }
}

TEST_F(InterpreterTest, RandomLines) {
    std::mt19937 random(20240611);
    CommEventRecorder events;
    boardDisconnect();
    boardConnected();
    runRandomLines(random, 3000, false);
    EXPECT_TRUE(hostBytes().empty());
    ASSERT_TRUE(boardConnect());
    runRandomLines(random, 1000, true);
    for (const CommEvent& e : events.events())
        EXPECT_TRUE(e.cmd == 0 || e.cmd == 1 || e.cmd == 10 || e.cmd == 11) << e;
    // Whatever the lines left, a new connection brings the device back.
    boardDisconnect();
    ASSERT_TRUE(boardConnect());
    EXPECT_EQ(run("readbyte 2A 00"), Replies{"+\t12"});
}

} // namespace
