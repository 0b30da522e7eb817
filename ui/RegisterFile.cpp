#include "RegisterFile.h"

#include "CommandTokenizer.h"
#include "AppManager.h"
#include "RegisterMap.h"

#include <QDir>
#include <QFile>
#include <QStringList>

namespace {

bool hexByte(const QString& text, unsigned* value) {
    bool converted = false;
    *value = text.toUInt(&converted, 16);
    return converted && *value <= 0xFF;
}

// What is wrong with one line, or nothing.
QString lineProblem(const QString& line) {
    const QStringList words = tokenizeCommandLine(line);
    if (words.isEmpty() || words.first().startsWith(QLatin1Char('#'))) return QString();
    if (words.first().compare(QLatin1String("writebyte"), Qt::CaseInsensitive) != 0 ||
        words.size() != 4)
        return QStringLiteral("\"%1\" is not a line \"writebyte ADDRESS REGISTER VALUE\".")
            .arg(line.trimmed().left(60));
    unsigned address = 0;
    unsigned reg = 0;
    unsigned value = 0;
    if (!hexByte(words.at(1), &address) || !hexByte(words.at(2), &reg) ||
        !hexByte(words.at(3), &value))
        return QStringLiteral("\"%1\" has a number that is not a hexadecimal byte.")
            .arg(line.trimmed());
    const rar4120e::Register* target = rar4120e::findRegister(static_cast<uint8_t>(reg));
    if (!target || !target->writable())
        return QStringLiteral("register 0x%1 is not a writable register of the RAR4120E.")
            .arg(QString::number(reg, 16).toUpper().rightJustified(2, QLatin1Char('0')));
    return QString();
}

} // namespace

QString registerFileProblem(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QStringLiteral("%1 cannot be read: %2.").arg(path, file.errorString());
    int number = 0;
    while (!file.atEnd()) {
        ++number;
        const QString problem = lineProblem(QString::fromUtf8(file.readLine()));
        if (!problem.isEmpty())
            return QStringLiteral("%1, line %2: %3").arg(path).arg(number).arg(problem);
    }
    return QString();
}

RegisterWrites registerWrites(const QString& path) {
    RegisterWrites writes;
    // Relative paths are taken from the home folder, as the script runner takes them.
    QFile file(QDir::isRelativePath(path) ? AppManager::homeFolder() + QLatin1Char('/') + path
                                          : path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return writes;
    while (!file.atEnd()) {
        const QStringList words = tokenizeCommandLine(QString::fromUtf8(file.readLine()));
        if (words.size() < 4 || words.first().toLower() != QLatin1String("writebyte")) continue;
        bool ok[3] = {};
        const int address = words.at(1).toInt(&ok[0], 16);
        const int reg = words.at(2).toInt(&ok[1], 16);
        const int value = words.at(3).toInt(&ok[2], 16);
        if (ok[0] && ok[1] && ok[2])
            writes[{static_cast<uint8_t>(address), static_cast<uint8_t>(reg)}] =
                static_cast<uint8_t>(value);
    }
    return writes;
}
