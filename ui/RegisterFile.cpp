#include "RegisterFile.h"

#include "CommandTokenizer.h"
#include "AppManager.h"
#include "DeviceAccess.h"
#include "RegisterMap.h"
#include "SystemManager.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStringList>
#include <QTextStream>

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

bool saveRegisterFile(const QString& path, uint8_t address) {
    bool readOk = false;
    const QMetaObject::Connection watch = QObject::connect(
        SystemManager::instance(), &SystemManager::sig_commEvent,
        [&readOk](uint8_t, uint8_t, uint8_t, uint32_t, uint8_t ok) { readOk = ok != 0; });
    QStringList lines;
    for (const rar4120e::Register& reg : rar4120e::registers()) {
        if (!reg.writable()) continue;
        readOk = false;
        const auto value = static_cast<uint8_t>(readRegister(reg.address, 8));
        if (!readOk) break;
        // The chip owns the status bits: they are written as 0.
        lines << QString::asprintf("writebyte %02X %02X %02X", address, reg.address,
                                   value & reg.writableMask());
    }
    QObject::disconnect(watch);
    if (!readOk) return false;

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) return false;
    QTextStream out(&file);
    out.setCodec("UTF-8");
    out << "# RAR4120E registers, device address " << QString::asprintf("0x%02X", address)
        << "\n# saved " << QDateTime::currentDateTime().toString(Qt::ISODate) << "\n";
    for (const QString& line : lines)
        out << line << '\n';
    out.flush();
    return file.commit();
}

QStringList registersNotTaken(const QString& path) {
    QStringList differing;
    for (const auto& w : registerWrites(path)) {
        const rar4120e::Register* reg = rar4120e::findRegister(w.first.second);
        if (!reg || !reg->writable()) continue;
        const uint8_t address = w.first.first;
        const uint8_t expected = w.second & reg->writableMask();
        uint8_t value = 0;
        if (!smbusReadByte(address, reg->address, &value))
            differing << QString::asprintf("0x%02X at 0x%02X: no answer", reg->address, address);
        else if ((value & reg->writableMask()) != expected)
            differing << QString::asprintf("0x%02X at 0x%02X: 0x%02X written, 0x%02X read",
                                           reg->address, address, expected,
                                           value & reg->writableMask());
    }
    return differing;
}
