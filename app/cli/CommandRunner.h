// Runs command lines without a window: the window commands setaddress,
// readall and writeall on the register map, every other line through the
// interpreter, each reply written as the console shows it.
#ifndef COMMANDRUNNER_H
#define COMMANDRUNNER_H

#include <QObject>
#include <QString>

#include <cstdint>
#include <set>

class QTextStream;

class CommandRunner : public QObject {
    Q_OBJECT

  public:
    // Replies go to out, one line each.
    explicit CommandRunner(QTextStream& out, QObject* parent = nullptr);

    // Runs one line (its line break, if any, removed first). False when the
    // line failed; a line without a reply succeeds.
    bool runLine(const QString& line);
    // Runs every line of in, in order, the failing ones included; false when
    // any failed.
    bool runLines(QTextStream& in);

    // One line per register of the map at the current device address, each
    // decoded field by field; false when any read failed.
    bool dump();

  private slots:
    void slt_commandProcessed(QString command, QString returnText, bool success);
    void slt_commEvent(uint8_t cmd, uint8_t reg, uint8_t dataSize, uint32_t data, uint8_t commOk);

  private:
    // Reads every register through the device-access layer; the decoded
    // lines, each after prefix.
    bool readAll(const QString& prefix);
    bool writeAll();

    QTextStream& m_out;
    bool m_lineSucceeded = true;
    // The outcome of the last device transaction, from its comm event.
    bool m_lastEventOk = false;
    // Registers read since the device address was last set: writeall writes
    // only values the chip at that address has given.
    std::set<uint8_t> m_registersRead;
};

#endif // COMMANDRUNNER_H
