// Hostile command lines: each gets one clear reply (none for a wait) and the next works.
#include "Support.h"

namespace robustness {
namespace {

class ScriptLines : public Connected {
  protected:
    static Reply single(const QString& line) {
        const std::vector<Reply> replies = run(line);
        EXPECT_EQ(replies.size(), 1u) << line.left(80).toStdString();
        return replies.empty() ? Reply{line, QString(), false} : replies[0];
    }
    void TearDown() override {
        expectNextLineWorks();
        Connected::TearDown();
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
}

TEST_F(ScriptLines, SendRawAskingForMoreRepliesThanTheBufferEndsByTheTimeOut) {
    const Reply reply = single(QStringLiteral("sendraw 7FFFFFFF A0 00"));
    EXPECT_FALSE(reply.success);
    EXPECT_TRUE(reply.text.contains(QStringLiteral("does not match"))) << reply.text.toStdString();
}

TEST_F(ScriptLines, ByteListPastTheBufferStopsAtItsEnd) {
    EXPECT_TRUE(
        single(QStringLiteral("sendraw 1 A0 00") + QStringLiteral(" 00").repeated(5000)).success);
}

TEST_F(ScriptLines, WaitsThatAreNegativeOrNoNumberReturnAtOnce) {
    for (const char* line : {"wait -1", "wait -2147483648", "wait 99999999999", "wait 1e9",
                             "wait 7FFFFFFF", "wait \xff"})
        EXPECT_TRUE(run(QString::fromUtf8(line)).empty()) << line;
}

TEST_F(ScriptLines, BytesThatAreNotUtf8AreASyntaxErrorOrABadParameter) {
    EXPECT_EQ(single(QString::fromUtf8("\xff\xfe\x80 2A 00\n")).text,
              QStringLiteral("\tSyntax error."));
    const Reply address = single(QString::fromUtf8("readbyte \xc3\x28 00\n"));
    EXPECT_FALSE(address.success);
    EXPECT_EQ(address.text, QStringLiteral("\tReadByte invalid address parameter."));
}

TEST_F(ScriptLines, OneMebibyteLineGetsOneReply) {
    const QString junk(1 << 20, QLatin1Char('z'));
    EXPECT_EQ(single(junk).text, QStringLiteral("\tSyntax error."));
    const Reply echo = single(QStringLiteral("echo ") + junk);
    EXPECT_TRUE(echo.success);
    EXPECT_EQ(echo.text.size(), junk.size() + 1);
    EXPECT_TRUE(
        single(QStringLiteral("readbyte 2A 00 ") + QString(1 << 20, QLatin1Char(' ')) + junk)
            .success);
}

TEST_F(ScriptLines, NulBytesAreOrdinaryCharacters) {
    EXPECT_EQ(single(QString::fromLatin1("readbyte\0 2A 00", 15)).text,
              QStringLiteral("\tSyntax error."));
    EXPECT_FALSE(single(QString::fromLatin1("readbyte 2A \0", 13)).success);
    EXPECT_LE(run(QString(3, QChar(0))).size(), 1u);
}

} // namespace
} // namespace robustness
