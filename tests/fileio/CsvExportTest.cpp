// The log view's "Export CSV…": every row, oldest first, under the headers,
// quoted where a cell holds a separator, a quote or a line break.
#include "WindowTestSupport.h"

namespace {

TEST(CsvExport, EveryRowOldestFirstUnderTheHeadersWithAwkwardCellsQuoted) {
    CommLog log(nullptr, false);
    QTemporaryDir dir;
    EXPECT_EQ(log.exportCsvAction()->text(), "Export CSV…");
    EXPECT_FALSE(log.exportCsv(dir.filePath("missing/log.csv")));
    const auto exported = [&] {
        QFile file(dir.filePath("log.csv"));
        if (!log.exportCsv(file.fileName()) || !file.open(QIODevice::ReadOnly)) return QByteArray();
        return file.readAll();
    };
    QByteArray expected = "Time,CMD,Register,Data,Result\r\n";
    EXPECT_EQ(exported(), expected);

    emit SystemManager::instance()->sig_commEvent(kCommEventRead, 0x04, 8, 0x80, 1);
    emit SystemManager::instance()->sig_commEvent(kCommEventWrite, 0x50, 8, 0x00, 0);
    emit SystemManager::instance()->sig_commEvent(kCommEventRead, 0x05, 16, 0x1234, 1);
    const QStringList awkward{"a,b", "say \"hi\"", "two\nlines", "cr\r\nlf", "plain"};
    log.model()->insertRow(0);
    for (int column = 0; column < awkward.size(); ++column)
        log.model()->setItem(0, column, new QStandardItem(awkward[column]));
    const char* rows[] = {",ReadByte,0x04,0x80,OK\r\n", ",WriteByte,0x50,0x00,FAIL\r\n",
                          ",ReadWord,0x05,0x1234,OK\r\n"};
    for (int row = 0; row < 3; ++row)
        expected += log.model()->item(3 - row, 0)->text().toUtf8() + rows[row];
    expected += "\"a,b\",\"say \"\"hi\"\"\",\"two\nlines\",\"cr\r\nlf\",plain\r\n";
    EXPECT_EQ(exported(), expected);
}

} // namespace
