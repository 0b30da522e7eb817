// Runs command lines through the interpreter and collects its replies.
#ifndef INTERPRETERHARNESS_H
#define INTERPRETERHARNESS_H

#include "processCommand.h"

#include <QSignalSpy>
#include <QString>

#include <ostream>
#include <vector>

struct CommandReply {
    QString command;
    QString text;
    bool success;

    bool operator==(const CommandReply& o) const {
        return command == o.command && text == o.text && success == o.success;
    }
};

inline std::ostream& operator<<(std::ostream& os, const CommandReply& r) {
    return os << "{\"" << r.command.toStdString() << "\", \"" << r.text.toStdString() << "\", "
              << (r.success ? "true" : "false") << "}";
}

class InterpreterHarness {
  public:
    InterpreterHarness()
        : m_spy(processCommand::instance(), &processCommand::sig_commandProcessed) {}

    std::vector<CommandReply> run(const QString& line) {
        m_spy.clear();
        processCommand::instance()->slt_commandHandler(line);
        std::vector<CommandReply> replies;
        for (const QList<QVariant>& args : m_spy)
            replies.push_back({args.at(0).toString(), args.at(1).toString(), args.at(2).toBool()});
        return replies;
    }

  private:
    QSignalSpy m_spy;
};

#endif // INTERPRETERHARNESS_H
