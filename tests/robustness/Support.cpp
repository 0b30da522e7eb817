#include "Support.h"

#include "DeviceAccess.h"
#include "StandIn.h"
#include "processCommand.h"

#include <QSignalSpy>

namespace robustness {

podsim::Board* board() {
    return standin::board();
}

bool reload(const std::string& configText) {
    boardDisconnect();
    return standin::reload(configText);
}

std::vector<Reply> run(const QString& line) {
    QSignalSpy spy(processCommand::instance(), &processCommand::sig_commandProcessed);
    processCommand::instance()->slt_commandHandler(line);
    std::vector<Reply> replies;
    for (const QList<QVariant>& args : spy)
        replies.push_back({args.at(0).toString(), args.at(1).toString(), args.at(2).toBool()});
    return replies;
}

} // namespace robustness
