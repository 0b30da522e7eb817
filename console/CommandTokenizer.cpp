#include "CommandTokenizer.h"

#include <QRegularExpression>

QStringList tokenizeCommandLine(const QString& line) {
    static const QRegularExpression whiteSpace(QStringLiteral("\\s+"));
    const QStringList pieces = line.split(QLatin1Char('"'), Qt::KeepEmptyParts);
    QStringList words;
    for (int i = 0; i < pieces.size(); ++i) {
        const bool insideQuotes = (i % 2) == 1;
        if (insideQuotes)
            words << pieces[i];
        else
            words << pieces[i].split(whiteSpace, Qt::SkipEmptyParts);
    }
    return words;
}
