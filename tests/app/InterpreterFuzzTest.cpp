// Random and mutated command lines: every line is answered once or not at
// all, never crashes, never hangs.
#include "CommEventRecorder.h"
#include "CommandTokenizer.h"
#include "DeviceAccess.h"
#include "InterpreterHarness.h"
#include "SimulatedBoard.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <random>
#include <set>

namespace {

// Every command, a comment, an unknown word, an empty line and a lone quote.
const QStringList kCommands =
    QStringLiteral("writebyte writeword readbyte readword sendraw spitransfer wrbytes write8 "
                   "receive8 writegpio readgpio spipulse8 i2cstart i2crepeatedstart i2cstop "
                   "seti2cspeed setspispeed setspiconfig spicspin spicsassert spicsdeassert wait "
                   "echo # setaddress bogus  \"")
        .split(QLatin1Char(' '));

const char* const kOddWords[] = {
    "zz",      "0x",  "-1",   "-80000000", "7FFFFFFF", "FFFFFFFF", "100000000", "191",
    "190",     "400", "0x2A", "2A",        "A0",       "00",       "\"",        "\"\"",
    "\"a b\"", "#",   "\t",   "\xc3\xbc",  "1e3",      "+5",       "--",
};

class LineGenerator {
  public:
    // towardDevice: most first arguments name the simulated RAR4120E, so
    // that more lines reach a device than time out on an empty address.
    LineGenerator(unsigned seed, bool towardDevice)
        : m_random(seed), m_towardDevice(towardDevice) {}

    QString next() {
        QString line = generate();
        if (pick(3) == 0) line = mutate(line);
        return line;
    }

  private:
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_random); }

    QString word() {
        switch (pick(4)) {
        case 0:
            return QString::number(pick(256), 16);
        case 1:
            return QString::number(pick(0x1000), 16).toUpper();
        case 2:
            return QString::number(pick(1000) - 100);
        default:
            return QString::fromUtf8(kOddWords[pick(std::size(kOddWords))]);
        }
    }

    QString generate() {
        QString command = kCommands[pick(kCommands.size())];
        if (pick(2)) command = command.toUpper();
        QString line = command;
        const int words = pick(8) == 0 ? pick(450) : pick(6);
        for (int i = 0; i < words; ++i) {
            const bool device = i == 0 && m_towardDevice && takesAddress(command) && pick(4) != 0;
            line += QString(pick(6) == 0 ? "\t " : " ") + (device ? QStringLiteral("2A") : word());
        }
        if (pick(5) == 0) line += QStringLiteral("\n");
        return line;
    }

    static bool takesAddress(const QString& command) {
        static const QStringList names{"writebyte", "writeword", "readbyte", "readword", "wrbytes"};
        return names.contains(command.toLower());
    }

    QString mutate(QString line) {
        static const QString alphabet = QStringLiteral(" \t\n\"#0123456789abcdefxzABCDEF-+");
        const int edits = 1 + pick(4);
        for (int i = 0; i < edits; ++i) {
            const int at = line.isEmpty() ? 0 : pick(line.size());
            switch (pick(3)) {
            case 0:
                line.insert(at, alphabet[pick(alphabet.size())]);
                break;
            case 1:
                line.remove(at, 1);
                break;
            default:
                if (!line.isEmpty()) line[at] = QChar(static_cast<ushort>(1 + pick(0x2FF)));
            }
        }
        return line;
    }

    std::mt19937 m_random;
    bool m_towardDevice;
};

// A wait longer than a few milliseconds would only slow the run down.
bool waitsLong(const QString& line) {
    const QStringList words = tokenizeCommandLine(line);
    return words.size() > 1 && words[0].toLower() == QLatin1String("wait") && words[1].toInt() > 2;
}

void expectWellFormed(const QString& line, const std::vector<CommandReply>& replies) {
    ASSERT_LE(replies.size(), 1u) << line.toStdString();
    if (replies.empty()) return;
    const CommandReply& reply = replies.front();
    EXPECT_EQ(reply.command, line);
    if (reply.text.isEmpty()) {
        EXPECT_TRUE(reply.success) << line.toStdString();
    } else {
        EXPECT_TRUE(reply.text.startsWith(QLatin1Char('\t'))) << line.toStdString();
    }
}

void expectKnownEvents(const CommEventRecorder& recorder) {
    static const std::set<int> known{0, 1, 10, 11};
    for (const CommEvent& e : recorder.events())
        EXPECT_TRUE(known.count(e.cmd)) << e;
}

class InterpreterFuzzTest : public SimulatedBoardTest {
  protected:
    InterpreterHarness interpreter;

    int runLines(LineGenerator& generator, int count, qint64 budgetMs) {
        QElapsedTimer timer;
        timer.start();
        int run = 0;
        CommEventRecorder events;
        while (run < count && timer.elapsed() < budgetMs) {
            const QString line = generator.next();
            if (waitsLong(line)) continue;
            expectWellFormed(line, interpreter.run(line));
            ++run;
        }
        expectKnownEvents(events);
        return run;
    }
};

TEST_F(InterpreterFuzzTest, RandomLinesWithoutABoard) {
    boardDisconnect();
    boardConnected();
    LineGenerator generator(20240611, false);
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(runLines(generator, 5000, 20000), 5000);
    EXPECT_LT(timer.elapsed(), 20000);
    EXPECT_TRUE(hostBytes().empty());
}

TEST_F(InterpreterFuzzTest, RandomLinesAgainstTheBoard) {
    LineGenerator generator(777, true);
    const int run = runLines(generator, 3000, 5000);
    EXPECT_GT(run, 100);
    RecordProperty("lines", run);

    // Whatever state the lines left the board in, a new connection brings
    // the device back.
    boardDisconnect();
    ASSERT_TRUE(boardConnect());
    EXPECT_EQ(interpreter.run("readbyte 2A 00").front().text, QStringLiteral("\t12"));
}

} // namespace
