// The log view's "Export CSV…": every row, oldest first, under the headers,
// read back by Python's csv module as the same cells.
#include "WindowTestSupport.h"

namespace {

using Table = QList<QStringList>;

// The cells of a CSV file as a standard reader sees them.
Table readWithPythonCsv(const QString& path) {
    QProcess python;
    python.start("python3", {"-c",
                             "import csv, json, sys\n"
                             "with open(sys.argv[1], newline='', encoding='utf-8') as f:\n"
                             "    print(json.dumps(list(csv.reader(f, strict=True))))\n",
                             path});
    if (!python.waitForFinished(30000) || python.exitCode() != 0) return {};
    Table table;
    for (const QJsonValue& row : QJsonDocument::fromJson(python.readAllStandardOutput()).array()) {
        table << QStringList();
        for (const QJsonValue& cell : row.toArray())
            table.last() << cell.toString();
    }
    return table;
}

TEST(CsvExport, EveryRowOldestFirstUnderTheHeadersWithAwkwardCellsIntact) {
    CommLog log(nullptr, false);
    QTemporaryDir dir;
    const QString path = dir.filePath("log.csv");
    EXPECT_EQ(log.exportCsvAction()->text(), "Export CSV…");
    EXPECT_FALSE(log.exportCsv(dir.filePath("missing/log.csv")));
#if defined(_WIN32)
    GTEST_SKIP() << "no Debian Python for a Windows program";
#endif
    const QStringList headers{"Time", "CMD", "Register", "Data", "Result"};
    ASSERT_TRUE(log.exportCsv(path));
    EXPECT_EQ(readWithPythonCsv(path), Table{headers});

    emit SystemManager::instance()->sig_commEvent(kCommEventRead, 0x04, 8, 0x80, 1);
    emit SystemManager::instance()->sig_commEvent(kCommEventWrite, 0x50, 8, 0x00, 0);
    emit SystemManager::instance()->sig_commEvent(kCommEventRead, 0x05, 16, 0x1234, 1);
    const QStringList awkward{"a,b", "say \"hi\"", "two\nlines", "cr\r\nlf", "plain"};
    log.model()->insertRow(0);
    for (int column = 0; column < awkward.size(); ++column)
        log.model()->setItem(0, column, new QStandardItem(awkward[column]));
    ASSERT_TRUE(log.exportCsv(path));

    const Table table = readWithPythonCsv(path);
    ASSERT_EQ(table.size(), 5);
    EXPECT_EQ(table[0], headers);
    for (int row = 1; row < 5; ++row) {
        QStringList cells;
        for (int column = 0; column < 5; ++column)
            cells << log.model()->index(4 - row, column).data().toString();
        EXPECT_EQ(table[row], cells);
    }
    EXPECT_EQ(table[1].mid(1), (QStringList{"ReadByte", "0x04", "0x80", "OK"}));
    EXPECT_EQ(table[2].mid(1), (QStringList{"WriteByte", "0x50", "0x00", "FAIL"}));
    EXPECT_EQ(table[3].mid(1), (QStringList{"ReadWord", "0x05", "0x1234", "OK"}));
    EXPECT_EQ(table[4], awkward);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray raw = file.readAll();
    EXPECT_TRUE(raw.startsWith("Time,CMD,Register,Data,Result\r\n"));
    EXPECT_TRUE(raw.endsWith("\"a,b\",\"say \"\"hi\"\"\",\"two\nlines\",\"cr\r\nlf\",plain\r\n"));
}

} // namespace
