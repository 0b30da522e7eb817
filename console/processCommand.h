#ifndef PROCESSCOMMAND_H
#define PROCESSCOMMAND_H

#include <QObject>
#include <QString>

// The interpreter of the command language: one line names a bus or board
// operation and its arguments; the answer is sig_commandProcessed, or nothing
// for the commands that do not reply.
class processCommand : public QObject {
    Q_OBJECT

  public:
    static processCommand* instance();

  public slots:
    // Handles the line completely (bus traffic, comm events, reply) before it
    // returns.
    void slt_commandHandler(QString line);

  signals:
    // command: the line as received; returnText begins with a tab, or is
    // empty for a successful write.
    void sig_commandProcessed(QString command, QString returnText, bool success);

  private:
    processCommand() = default;
};

#endif // PROCESSCOMMAND_H
