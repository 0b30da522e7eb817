// The log view's "Export CSV…": every row, oldest first, under the headers,
// read back by Python's csv module as the same cells.
#include "CommLog.h"
#include "SystemManager.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QStandardItemModel>
#include <QTemporaryDir>

namespace {

using Table = QList<QStringList>;

// The file is checked with Debian's Python, which a Windows program cannot start.
#if defined(_WIN32)
#define SKIP_WITHOUT_PYTHON() GTEST_SKIP() << "no Debian Python for a Windows program"
#else
#define SKIP_WITHOUT_PYTHON()
#endif

// The cells of a CSV file as a standard reader sees them.
Table readWithPythonCsv(const QString& path) {
    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"),
                  QStringLiteral("import csv, json, sys\n"
                                 "with open(sys.argv[1], newline='', encoding='utf-8') as f:\n"
                                 "    print(json.dumps(list(csv.reader(f, strict=True))))\n"),
                  path});
    if (!python.waitForFinished(30000) || python.exitCode() != 0) return {};
    Table table;
    for (const QJsonValue& row : QJsonDocument::fromJson(python.readAllStandardOutput()).array()) {
        QStringList cells;
        for (const QJsonValue& cell : row.toArray())
            cells << cell.toString();
        table << cells;
    }
    return table;
}

QStringList rowOf(const QStandardItemModel* model, int row) {
    QStringList cells;
    for (int column = 0; column < model->columnCount(); ++column)
        cells << model->index(row, column).data().toString();
    return cells;
}

class CsvExportTest : public testing::Test {
  protected:
    CommLog log{nullptr, false};
    QTemporaryDir dir;
    QString path() const { return dir.filePath(QStringLiteral("log.csv")); }
};

TEST_F(CsvExportTest, EveryRowOldestFirstUnderTheHeaders) {
    EXPECT_EQ(log.exportCsvAction()->text(), QStringLiteral("Export CSV…"));
    SKIP_WITHOUT_PYTHON();
    emit SystemManager::instance()->sig_commEvent(kCommEventRead, 0x04, 8, 0x80, 1);
    emit SystemManager::instance()->sig_commEvent(kCommEventWrite, 0x50, 8, 0x00, 0);
    emit SystemManager::instance()->sig_commEvent(kCommEventRead, 0x05, 16, 0x1234, 1);
    ASSERT_TRUE(log.exportCsv(path()));

    const Table table = readWithPythonCsv(path());
    ASSERT_EQ(table.size(), 4);
    EXPECT_EQ(table[0], (QStringList{"Time", "CMD", "Register", "Data", "Result"}));
    EXPECT_EQ(table[1], rowOf(log.model(), 2));
    EXPECT_EQ(table[1].mid(1), (QStringList{"ReadByte", "0x04", "0x80", "OK"}));
    EXPECT_EQ(table[2].mid(1), (QStringList{"WriteByte", "0x50", "0x00", "FAIL"}));
    EXPECT_EQ(table[3].mid(1), (QStringList{"ReadWord", "0x05", "0x1234", "OK"}));
}

TEST_F(CsvExportTest, CellsWithSeparatorsQuotesAndLineBreaksComeBackUnchanged) {
    SKIP_WITHOUT_PYTHON();
    emit SystemManager::instance()->sig_commEvent(kCommEventRead, 0x00, 8, 0x12, 0);
    const QStringList awkward{"a,b", "say \"hi\"", "two\nlines", "cr\r\nlf", "plain"};
    log.model()->insertRow(0);
    for (int column = 0; column < awkward.size(); ++column)
        log.model()->setItem(0, column, new QStandardItem(awkward[column]));
    ASSERT_TRUE(log.exportCsv(path()));

    const Table table = readWithPythonCsv(path());
    ASSERT_EQ(table.size(), 3);
    EXPECT_EQ(table[1], rowOf(log.model(), 1));
    EXPECT_EQ(table[1][4], QStringLiteral("FAIL"));
    EXPECT_EQ(table[2], awkward);

    QFile file(path());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray raw = file.readAll();
    EXPECT_TRUE(raw.startsWith("Time,CMD,Register,Data,Result\r\n"));
    EXPECT_TRUE(raw.endsWith("\"a,b\",\"say \"\"hi\"\"\",\"two\nlines\",\"cr\r\nlf\",plain\r\n"));
}

TEST_F(CsvExportTest, AnEmptyLogGivesTheHeadersOnlyAndAnUnwritablePathFails) {
    SKIP_WITHOUT_PYTHON();
    ASSERT_TRUE(log.exportCsv(path()));
    EXPECT_EQ(readWithPythonCsv(path()),
              (Table{QStringList{"Time", "CMD", "Register", "Data", "Result"}}));
    EXPECT_FALSE(log.exportCsv(dir.filePath(QStringLiteral("missing/log.csv"))));
}

} // namespace
