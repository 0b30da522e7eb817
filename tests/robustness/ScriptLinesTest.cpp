// Hostile command lines: counts past every buffer, waits that are negative or
// too large for a number, bytes that are not UTF-8, a 1 MiB line, NUL bytes.
// Each gets one clear reply (or none, for a wait) and the next line works.
#include "Support.h"

#include "AppManager.h"
#include "DeviceAccess.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

namespace robustness {
namespace {

class ScriptLines : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(reload());
        ASSERT_TRUE(boardConnect());
        AppManager::setDeviceAddress(0x2A);
    }
    void TearDown() override { boardDisconnect(); }

    // The line after a hostile one still reads the chip.
    static void expectNextLineWorks() {
        const std::vector<Reply> replies = run(QStringLiteral("readbyte 2A 00"));
        ASSERT_EQ(replies.size(), 1u);
        EXPECT_TRUE(replies[0].success);
        EXPECT_EQ(replies[0].text, QStringLiteral("\t12"));
    }

    static Reply single(const QString& line) {
        const std::vector<Reply> replies = run(line);
        EXPECT_EQ(replies.size(), 1u) << line.left(80).toStdString();
        return replies.empty() ? Reply{line, QString(), false} : replies[0];
    }
};

TEST_F(ScriptLines, CountsPastTheBuffersAreRefusedWithoutTraffic) {
    board()->clearTraffic();
    for (const char* line : {"spitransfer 7FFFFFFF 01", "wrbytes 2A 7FFFFFFF 1 00",
                             "wrbytes 2A 1 7FFFFFFF 00", "wrbytes 2A -1 1 00"}) {
        const Reply reply = single(QString::fromLatin1(line));
        EXPECT_FALSE(reply.success) << line;
        EXPECT_TRUE(reply.text.endsWith(QStringLiteral("failed."))) << line;
    }
    EXPECT_TRUE(board()->hostBytes().empty());
    expectNextLineWorks();
}

TEST_F(ScriptLines, SendRawAskingForMoreRepliesThanTheBufferEndsByTheTimeOut) {
    QElapsedTimer timer;
    timer.start();
    const Reply reply = single(QStringLiteral("sendraw 7FFFFFFF A0 00"));
    EXPECT_LT(timer.elapsed(), 3000);
    EXPECT_FALSE(reply.success);
    EXPECT_TRUE(reply.text.contains(QStringLiteral("does not match"))) << reply.text.toStdString();
    expectNextLineWorks();
}

TEST_F(ScriptLines, ByteListPastTheBufferStopsAtItsEnd) {
    QString line = QStringLiteral("sendraw 1 A0 00");
    for (int i = 0; i < 5000; ++i)
        line += QStringLiteral(" 00");
    const Reply reply = single(line);
    EXPECT_TRUE(reply.success) << reply.text.toStdString();
    expectNextLineWorks();
}

TEST_F(ScriptLines, WaitsThatAreNegativeOrNoNumberReturnAtOnce) {
    QElapsedTimer timer;
    timer.start();
    for (const char* line : {"wait -1", "wait -2147483648", "wait 99999999999", "wait 1e9",
                             "wait 7FFFFFFF", "wait \xff"}) {
        EXPECT_TRUE(run(QString::fromUtf8(line)).empty()) << line;
    }
    EXPECT_LT(timer.elapsed(), 1000);
    expectNextLineWorks();
}

TEST_F(ScriptLines, BytesThatAreNotUtf8AreASyntaxErrorOrABadParameter) {
    const QString command = QString::fromUtf8("\xff\xfe\x80 2A 00\n");
    EXPECT_EQ(single(command).text, QStringLiteral("\tSyntax error."));
    const Reply address = single(QString::fromUtf8("readbyte \xc3\x28 00\n"));
    EXPECT_FALSE(address.success);
    EXPECT_EQ(address.text, QStringLiteral("\tReadByte invalid address parameter."));
    expectNextLineWorks();
}

TEST_F(ScriptLines, OneMebibyteLineGetsOneReply) {
    const QString junk(1 << 20, QLatin1Char('z'));
    EXPECT_EQ(single(junk).text, QStringLiteral("\tSyntax error."));
    const Reply echo = single(QStringLiteral("echo ") + junk);
    EXPECT_TRUE(echo.success);
    EXPECT_EQ(echo.text.size(), junk.size() + 1);
    const Reply words =
        single(QStringLiteral("readbyte 2A 00 ") + QString(1 << 20, QLatin1Char(' ')) + junk);
    EXPECT_TRUE(words.success);
    expectNextLineWorks();
}

TEST_F(ScriptLines, NulBytesAreOrdinaryCharacters) {
    const QString nulCommand = QString::fromLatin1("readbyte\0 2A 00", 15);
    EXPECT_EQ(single(nulCommand).text, QStringLiteral("\tSyntax error."));
    const QString nulArgument = QString::fromLatin1("readbyte 2A \0", 13);
    EXPECT_FALSE(single(nulArgument).success);
    EXPECT_TRUE(run(QString(3, QChar(0))).size() <= 1);
    expectNextLineWorks();
}

} // namespace
} // namespace robustness
