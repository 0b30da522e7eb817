// Hostile command lines: each gets one clear reply (none for a wait) and the next works.
#include "Support.h"

namespace robustness {
namespace {

using ScriptLines = Connected;

TEST_F(ScriptLines, EachHostileLineGetsOneClearReplyAndTheNextLineWorks) {
    const QString mib(1 << 20, QLatin1Char('z'));
    // A line, its number of replies (0 for a wait), their success and a text they contain.
    const std::tuple<QString, int, bool, QString> cases[] = {
        // Counts past every buffer: refused without traffic.
        {QStringLiteral("spitransfer 7FFFFFFF 01"), 1, false, QStringLiteral("failed.")},
        {QStringLiteral("wrbytes 2A 7FFFFFFF 1 00"), 1, false, QStringLiteral("failed.")},
        {QStringLiteral("wrbytes 2A 1 7FFFFFFF 00"), 1, false, QStringLiteral("failed.")},
        // More replies than the buffer holds: the read ends by the time-out.
        {QStringLiteral("sendraw 7FFFFFFF A0 00"), 1, false, QStringLiteral("does not match")},
        // A byte list past the buffer stops at its end.
        {QStringLiteral("sendraw 1 A0 00") + QStringLiteral(" 00").repeated(5000), 1, true, {}},
        // Waits that are out of range or no number return at once.
        {QStringLiteral("wait 99999999999"), 0, false, {}},
        {QStringLiteral("wait 1e9"), 0, false, {}},
        {QStringLiteral("wait 7FFFFFFF"), 0, false, {}},
        {QString::fromUtf8("wait \xff"), 0, false, {}},
        // Bytes that are not UTF-8, a 1 MiB line, NUL bytes.
        {QString::fromUtf8("\xff\xfe\x80 2A 00\n"), 1, false, QStringLiteral("\tSyntax error.")},
        {QString::fromUtf8("readbyte \xc3\x28 00\n"), 1, false,
         QStringLiteral("\tReadByte invalid address parameter.")},
        {mib, 1, false, QStringLiteral("\tSyntax error.")},
        {QStringLiteral("echo ") + mib, 1, true, QLatin1Char('\t') + mib},
        {QStringLiteral("readbyte 2A 00 ") + QString(1 << 20, QLatin1Char(' ')) + mib, 1, true,
         QStringLiteral("\t12")},
        {QString::fromLatin1("readbyte\0 2A 00", 15), 1, false, QStringLiteral("\tSyntax error.")},
        {QString::fromLatin1("readbyte 2A \0", 13), 1, false, QString()},
    };
    for (const auto& [line, count, success, text] : cases) {
        SCOPED_TRACE(line.left(40).toStdString());
        board()->clearTraffic();
        const std::vector<Reply> replies = run(line);
        ASSERT_EQ(int(replies.size()), count);
        if (count) {
            EXPECT_EQ(replies[0].success, success);
            EXPECT_TRUE(replies[0].text.contains(text)) << replies[0].text.left(80).toStdString();
        }
        EXPECT_TRUE(text != QStringLiteral("failed.") || board()->hostBytes().empty());
        expectNextLineWorks();
    }
    EXPECT_LE(run(QString(3, QChar(0))).size(), 1u);
}

} // namespace
} // namespace robustness
