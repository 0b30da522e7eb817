#include "CommandRunner.h"

#include "AppManager.h"
#include "CommandTokenizer.h"
#include "DeviceAccess.h"
#include "RegisterMap.h"
#include "SystemManager.h"
#include "processCommand.h"

#include <QTextStream>

namespace {

QString chomp(QString line) {
    while (line.endsWith(QLatin1Char('\n')) || line.endsWith(QLatin1Char('\r')))
        line.chop(1);
    return line;
}

} // namespace

CommandRunner::CommandRunner(QTextStream& out, QObject* parent) : QObject(parent), m_out(out) {
    connect(processCommand::instance(), &processCommand::sig_commandProcessed, this,
            &CommandRunner::slt_commandProcessed);
    connect(SystemManager::instance(), &SystemManager::sig_commEvent, this,
            &CommandRunner::slt_commEvent);
}

void CommandRunner::slt_commEvent(uint8_t, uint8_t, uint8_t, uint32_t, uint8_t commOk) {
    m_lastEventOk = commOk != 0;
}

void CommandRunner::slt_commandProcessed(QString, QString returnText, bool success) {
    m_out << returnText << '\n';
    m_out.flush();
    m_lineSucceeded = m_lineSucceeded && success;
}

bool CommandRunner::runLine(const QString& rawLine) {
    const QString line = chomp(rawLine);
    const QStringList words = tokenizeCommandLine(line);
    if (words.isEmpty()) return true;
    const QString name = words.first().toLower();
    const QString argument = words.size() > 1 ? words.at(1) : QString();
    bool converted = false;
    if (name == QLatin1String("setaddress")) {
        const int address = argument.toInt(&converted, 16);
        if (converted) {
            AppManager::setDeviceAddress(static_cast<uint8_t>(address));
            m_registersRead.clear();
            return true;
        }
    } else if (name == QLatin1String("readall")) {
        return readAll(QStringLiteral("\t"));
    } else if (name == QLatin1String("writeall")) {
        return writeAll();
    } else if (name == QLatin1String("autoread")) {
        // Scripts written for the window run unchanged: there is no page to
        // refresh here.
        argument.toInt(&converted, 10);
        if (converted) return true;
    } else if (name == QLatin1String("statusmsga")) {
        return true;
    }
    m_lineSucceeded = true;
    processCommand::instance()->slt_commandHandler(line);
    return m_lineSucceeded;
}

bool CommandRunner::runLines(QTextStream& in) {
    bool allSucceeded = true;
    QString line;
    while (in.readLineInto(&line))
        allSucceeded = runLine(line) && allSucceeded;
    return allSucceeded;
}

bool CommandRunner::readAll(const QString& prefix) {
    bool allRead = true;
    for (const rar4120e::Register& reg : rar4120e::registers()) {
        m_lastEventOk = false;
        const auto value = static_cast<uint8_t>(readRegister(reg.address, 8));
        if (!m_lastEventOk) {
            m_out << prefix
                  << QString::asprintf("0x%02X %s: ReadByte failed.", reg.address, reg.name)
                  << '\n';
            allRead = false;
            continue;
        }
        m_registersRead.insert(reg.address);
        m_out << prefix << QString::fromStdString(rar4120e::decode(reg.address, value)) << '\n';
    }
    m_out.flush();
    return allRead;
}

bool CommandRunner::writeAll() {
    QStringList unread;
    for (const rar4120e::Register& reg : rar4120e::registers())
        if (reg.writable() && !m_registersRead.count(reg.address))
            unread << QString::asprintf("0x%02X", reg.address);
    if (!unread.isEmpty()) {
        m_out << "\tWriteAll needs readall first (not read: " << unread.join(QLatin1Char(' '))
              << ").\n";
        m_out.flush();
        return false;
    }
    QStringList failed;
    for (const rar4120e::Register& reg : rar4120e::registers()) {
        if (!reg.writable()) continue;
        const uint8_t value =
            SystemManager::instance()->getRegister(reg.address) & reg.writableMask();
        if (!writeRegister(reg.address, 8, value))
            failed << QString::asprintf("0x%02X", reg.address);
    }
    if (failed.isEmpty()) return true;
    m_out << "\tWriteAll failed for " << failed.join(QLatin1Char(' ')) << ".\n";
    m_out.flush();
    return false;
}

bool CommandRunner::dump() {
    m_out << QString::asprintf("RAR4120E at 0x%02X\n", AppManager::deviceAddress());
    return readAll(QString());
}
