#include "processCommand.h"

#include "CommandTokenizer.h"
#include "DeviceAccess.h"
#include "SystemManager.h"

#include <QStringList>
#include <QThread>

#include <algorithm>
#include <cstdint>
#include <optional>

namespace {

// Size of the transmit and receive buffers of the byte-list commands.
constexpr int kBufferSize = 400;
constexpr int kMaxRawBytes = 199;
constexpr int kMaxWriteReadBytes = 399;

struct Reply {
    QString text;
    bool success;
};

using OptionalReply = std::optional<Reply>;

Reply succeeded(const QString& text = QString()) {
    return {text, true};
}
Reply failed(const QString& text) {
    return {text, false};
}

// Counts, the SPI clock and wait times: any integer, limited where used.
bool toHex(const QString& word, int* value) {
    bool ok = false;
    *value = word.toInt(&ok, 16);
    return ok;
}

bool toDecimal(const QString& word, int* value) {
    bool ok = false;
    *value = word.toInt(&ok, 10);
    return ok;
}

// A parameter of limited width (an address, register, byte, pin, flag, mode,
// code or word): a negative or wider number is refused like a word that does
// not convert, rather than cut to another value that would then be sent.
bool toFitting(const QString& word, int base, int max, int* value) {
    bool ok = false;
    *value = word.toInt(&ok, base);
    return ok && *value >= 0 && *value <= max;
}

bool hexByte(const QString& word, int* value) {
    return toFitting(word, 16, 0xFF, value);
}
bool decimalByte(const QString& word, int* value) {
    return toFitting(word, 10, 0xFF, value);
}

// Values already checked to fit, as the device-access layer takes them.
uint8_t u8(int value) {
    return static_cast<uint8_t>(value);
}
uint16_t u16(int value) {
    return static_cast<uint16_t>(value);
}

// Converts every word from index first on (at most max) as a hexadecimal
// byte; nullopt when one is not a byte, so that a mistyped byte is never sent
// as something else.
std::optional<int> allBytes(const QStringList& args, int first, int max, uint8_t* out) {
    int count = 0;
    for (int i = first; i < args.size() && count < max; ++i) {
        int value = 0;
        if (!hexByte(args[i], &value)) return std::nullopt;
        out[count++] = u8(value);
    }
    return count;
}

QString byteListText(const uint8_t* bytes, int count) {
    QString text = QStringLiteral("\t");
    for (int i = 0; i < count; ++i)
        text += QString::number(bytes[i], 16).toUpper() + QLatin1Char(' ');
    return text;
}

void emitCommEvent(uint8_t cmd, uint8_t reg, uint8_t dataSize, uint32_t data, uint8_t commOk) {
    emit SystemManager::instance()->sig_commEvent(cmd, reg, dataSize, data, commOk);
}

// The address, register and data words of the SMBus register commands, each
// checked in turn; name is the command's name in its replies.
struct RegisterArgs {
    int address = 0;
    int reg = 0;
    int data = 0;
};

// The largest data word of a register command; 0: the command has none.
constexpr int kNoData = 0;

std::optional<Reply> parseRegisterArgs(const QStringList& args, const QString& name, int maxData,
                                       RegisterArgs* out) {
    if (!hexByte(args[0], &out->address))
        return failed(QStringLiteral("\t%1 invalid address parameter.").arg(name));
    if (!hexByte(args[1], &out->reg))
        return failed(QStringLiteral("\t%1 invalid register parameter.").arg(name));
    if (maxData != kNoData && !toFitting(args[2], 16, maxData, &out->data))
        return failed(QStringLiteral("\t%1 invalid data parameter.").arg(name));
    return std::nullopt;
}

OptionalReply cmdWriteByte(const QString&, const QStringList& args) {
    RegisterArgs a;
    if (auto error = parseRegisterArgs(args, QStringLiteral("WriteByte"), 0xFF, &a)) return error;
    const uint8_t ok = smbusWriteByte(u8(a.address), u8(a.reg), u8(a.data));
    emitCommEvent(kCommEventWrite, u8(a.reg), 8, u8(a.data), ok);
    return ok ? succeeded() : failed(QStringLiteral("\tWriteByte failed."));
}

OptionalReply cmdWriteWord(const QString&, const QStringList& args) {
    RegisterArgs a;
    if (auto error = parseRegisterArgs(args, QStringLiteral("WriteWord"), 0xFFFF, &a)) return error;
    const uint8_t ok = smbusWriteWord(u8(a.address), u8(a.reg), u16(a.data));
    emitCommEvent(kCommEventWrite, u8(a.reg), 16, u16(a.data), ok);
    return ok ? succeeded() : failed(QStringLiteral("\tWriteWord failed."));
}

OptionalReply cmdReadByte(const QString&, const QStringList& args) {
    RegisterArgs a;
    if (auto error = parseRegisterArgs(args, QStringLiteral("ReadByte"), kNoData, &a)) return error;
    uint8_t value = 0;
    const uint8_t ok = smbusReadByte(u8(a.address), u8(a.reg), &value);
    if (!ok) value = 0;
    emitCommEvent(kCommEventRead, u8(a.reg), 8, value, ok);
    if (!ok) return failed(QStringLiteral("\tReadByte failed."));
    return succeeded(QLatin1Char('\t') + QString::number(value, 16));
}

OptionalReply cmdReadWord(const QString&, const QStringList& args) {
    RegisterArgs a;
    if (auto error = parseRegisterArgs(args, QStringLiteral("ReadWord"), kNoData, &a)) return error;
    uint16_t value = 0;
    const uint8_t ok = smbusReadWord(u8(a.address), u8(a.reg), &value);
    if (!ok) value = 0;
    emitCommEvent(kCommEventRead, u8(a.reg), 16, value, ok);
    if (!ok) return failed(QStringLiteral("\tReadWord failed."));
    return succeeded(QLatin1Char('\t') + QString::number(value, 16));
}

OptionalReply cmdSendRaw(const QString&, const QStringList& args) {
    int replyCount = 0;
    uint8_t tx[kBufferSize] = {};
    const std::optional<int> byteCount = allBytes(args, 1, kMaxRawBytes, tx);
    if (!toHex(args[0], &replyCount) || !byteCount)
        return failed(QStringLiteral("\tSendRaw failed."));
    if (replyCount == 0) replyCount = 1;
    const uint8_t ok = commStringWrite(tx, static_cast<uint32_t>(*byteCount), replyCount);

    QString text = QStringLiteral("\t");
    const uint32_t received = resultCharCount();
    for (uint32_t i = 0; i < received; ++i)
        text += QString::number(resultChar(i), 16).toUpper() + QLatin1Char(' ');

    if (!ok) return failed(QStringLiteral("\tSendRaw failed."));
    if (static_cast<int64_t>(received) == replyCount) return succeeded(text);
    return failed(
        text +
        QStringLiteral("\n\tWarning: length of response does not match the return bytes value."));
}

OptionalReply cmdSpiTransfer(const QString&, const QStringList& args) {
    int count = 0;
    toHex(args[0], &count);
    // Counts beyond the buffers are refused rather than overrunning them.
    if (count < 1 || count > kBufferSize) return failed(QStringLiteral("\tSpiTransfer failed."));
    uint8_t tx[kBufferSize] = {};
    uint8_t rx[kBufferSize] = {};
    if (!allBytes(args, 1, kMaxRawBytes, tx) || !spiTransfer(static_cast<uint32_t>(count), tx, rx))
        return failed(QStringLiteral("\tSpiTransfer failed."));
    return succeeded(byteListText(rx, count));
}

OptionalReply cmdWrBytes(const QString&, const QStringList& args) {
    int address = 0;
    int writeCount = 0;
    int readCount = 0;
    uint8_t tx[kBufferSize] = {};
    // A mistyped address would otherwise go out as another one, 0x00 (the
    // general call) included.
    if (!hexByte(args[0], &address) || !toHex(args[1], &writeCount) ||
        !toHex(args[2], &readCount) || !allBytes(args, 3, kMaxWriteReadBytes, tx))
        return failed(QStringLiteral("\tWRBytes failed."));
    if (readCount == 0) readCount = 1;
    // Counts beyond the buffers are refused rather than overrunning them.
    if (writeCount < 0 || writeCount > kBufferSize || readCount < 0 || readCount > kBufferSize)
        return failed(QStringLiteral("\tWRBytes failed."));
    uint8_t rx[kBufferSize] = {};
    uint32_t received = 0;
    const uint8_t ok = i2cWriteAndRead(u8(address), static_cast<uint32_t>(writeCount),
                                       static_cast<uint32_t>(readCount), tx, rx, &received);
    if (!ok) return failed(QStringLiteral("\tWRBytes failed."));
    const int shown = static_cast<int>(std::min<uint32_t>(received, readCount));
    return succeeded(byteListText(rx, shown));
}

OptionalReply cmdWrite8(const QString&, const QStringList& args) {
    int byte = 0;
    if (!hexByte(args[0], &byte)) return failed(QStringLiteral("\tSyntax Error."));
    i2cWrite8(u8(byte));
    return succeeded();
}

OptionalReply cmdReceive8(const QString&, const QStringList& args) {
    int ack = 0;
    uint8_t byte = 0;
    if (!hexByte(args[0], &ack) || !i2cReceive8(u8(ack), &byte))
        return failed(QStringLiteral("\tSyntax Error."));
    return succeeded(QLatin1Char('\t') + QString::number(byte, 16));
}

OptionalReply cmdWriteGpio(const QString&, const QStringList& args) {
    int pin = 0;
    int level = 0;
    if (!decimalByte(args[0], &pin) || !decimalByte(args[1], &level))
        return failed(QStringLiteral("\tSyntax Error."));
    writeGpio(u8(pin), u8(level));
    return succeeded();
}

OptionalReply cmdReadGpio(const QString&, const QStringList& args) {
    int pin = 0;
    if (!decimalByte(args[0], &pin)) return failed(QStringLiteral("\tSyntax error."));
    return succeeded(readGpio(u8(pin)) ? QStringLiteral("\t1") : QStringLiteral("\t0"));
}

OptionalReply cmdSpiPulse8(const QString&, const QStringList&) {
    spiPulse8();
    return std::nullopt;
}

OptionalReply cmdI2cStart(const QString&, const QStringList&) {
    i2cStart();
    return std::nullopt;
}

OptionalReply cmdI2cRepeatedStart(const QString&, const QStringList&) {
    i2cRepeatedStart();
    return std::nullopt;
}

OptionalReply cmdI2cStop(const QString&, const QStringList&) {
    i2cStop();
    return std::nullopt;
}

OptionalReply cmdSetI2cSpeed(const QString&, const QStringList& args) {
    int code = 0;
    if (hexByte(args[0], &code) && i2cSetSpeed(u8(code)))
        return succeeded(QStringLiteral("\tI2C speed changed"));
    return failed(QStringLiteral("\tI2C speed change failed."));
}

OptionalReply cmdSetSpiSpeed(const QString&, const QStringList& args) {
    int khz = 0;
    if (toDecimal(args[0], &khz) && spiSetSpeed(khz))
        return succeeded(QStringLiteral("\tSPI speed changed"));
    return failed(QStringLiteral("\tSPI speed change failed."));
}

OptionalReply cmdSetSpiConfig(const QString&, const QStringList& args) {
    int mode = 0;
    if (hexByte(args[0], &mode) && spiSetConfig(u8(mode)))
        return succeeded(QStringLiteral("\tSPI config changed"));
    return failed(QStringLiteral("\tSPI config change failed."));
}

OptionalReply cmdSpiCsPin(const QString&, const QStringList& args) {
    int pin = 0;
    if (decimalByte(args[0], &pin)) spiSetCsPin(u8(pin));
    return std::nullopt;
}

OptionalReply cmdSpiCsAssert(const QString&, const QStringList&) {
    if (spiChipSelect(true)) return succeeded(QStringLiteral("\tCS asserted"));
    return failed(QStringLiteral("\tCS assert failed."));
}

OptionalReply cmdSpiCsDeassert(const QString&, const QStringList&) {
    if (spiChipSelect(false)) return succeeded(QStringLiteral("\tCS deasserted"));
    return failed(QStringLiteral("\tCS deassert failed."));
}

OptionalReply cmdWait(const QString&, const QStringList& args) {
    int msec = 0;
    toDecimal(args[0], &msec);
    // A negative time would wrap around to an almost endless sleep.
    QThread::msleep(static_cast<unsigned long>(std::max(msec, 0)));
    return std::nullopt;
}

OptionalReply cmdEcho(const QString& line, const QStringList&) {
    // Everything after "echo " as typed, line break included.
    const QString text = line.length() < 5 ? line : line.mid(5);
    return succeeded(QLatin1Char('\t') + text);
}

OptionalReply cmdHelp(const QString& line, const QStringList& args);

using Handler = OptionalReply (*)(const QString& line, const QStringList& args);

// Who handles a command: the interpreter; the main window (and the
// command-line runner), before a line reaches the interpreter; or nobody, for
// a comment.
enum class CommandKind { Interpreter, Window, Comment };

struct CommandEntry {
    const char* name;
    CommandKind kind;
    int minArgs;
    Handler handler;
    const char* arguments;
    const char* description;
    const char* example;
};

#define COMMAND(kind, name, minArgs, handler, arguments, description, example)                     \
    {name, CommandKind::kind, minArgs, handler, arguments, description, example},
const CommandEntry kCommands[] = {
#include "commands.inc"
};
#undef COMMAND

QString nameAndArguments(const CommandEntry& entry) {
    QString text = QString::fromUtf8(entry.name);
    if (*entry.arguments) text += QLatin1Char(' ') + QString::fromUtf8(entry.arguments);
    return text;
}

// Every command with its arguments, a line each, and those without
// arguments together on the last line, so that the list fits one screen of
// the console; with a command name, that command's entry.
OptionalReply cmdHelp(const QString&, const QStringList& args) {
    QStringList lines;
    QStringList bare;
    for (const CommandEntry& entry : kCommands) {
        if (args.isEmpty())
            (*entry.arguments ? lines : bare) << nameAndArguments(entry);
        else if (args[0].toLower() == QLatin1String(entry.name))
            return succeeded(QStringLiteral("\t%1: %2 Example: %3")
                                 .arg(nameAndArguments(entry), QString::fromUtf8(entry.description),
                                      QString::fromUtf8(entry.example)));
    }
    if (lines.isEmpty())
        return failed(QStringLiteral("\tNo command %1. Type help for the list.").arg(args[0]));
    lines << QStringLiteral("without arguments: ") + bare.join(QLatin1Char(' '));
    return succeeded(QLatin1Char('\t') + lines.join(QStringLiteral("\n\t")));
}

} // namespace

processCommand* processCommand::instance() {
    static processCommand* const interpreter = new processCommand;
    return interpreter;
}

void processCommand::slt_commandHandler(QString line) {
    if (line.isEmpty()) return;
    QStringList words = tokenizeCommandLine(line);
    if (words.isEmpty()) return;
    const QString command = words.takeFirst().toLower();

    for (const CommandEntry& entry : kCommands) {
        const QLatin1String name(entry.name);
        if (entry.kind == CommandKind::Comment && command.startsWith(name)) return;
        if (entry.kind == CommandKind::Interpreter && command == name &&
            words.size() >= entry.minArgs) {
            if (const OptionalReply reply = entry.handler(line, words))
                emit sig_commandProcessed(line, reply->text, reply->success);
            return;
        }
    }
    emit sig_commandProcessed(line, QStringLiteral("\tSyntax error."), false);
}
