// The simulated board behind the D2XX stand-in and the interpreter's replies.
#ifndef ROBUSTNESS_SUPPORT_H
#define ROBUSTNESS_SUPPORT_H

#include "AppManager.h"
#include "DeviceAccess.h"
#include "StandIn.h"
#include "processCommand.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QString>

#include <string>
#include <vector>

namespace robustness {

using standin::board;

// Fresh simulated devices from config text; disconnects first.
inline bool reload(const std::string& configText = std::string()) {
    boardDisconnect();
    return standin::reload(configText);
}

struct Reply {
    QString text;
    bool success;
};

// Every reply the interpreter gives to one line.
inline std::vector<Reply> run(const QString& line) {
    QSignalSpy spy(processCommand::instance(), &processCommand::sig_commandProcessed);
    processCommand::instance()->slt_commandHandler(line);
    std::vector<Reply> replies;
    for (const QList<QVariant>& args : spy)
        replies.push_back({args.at(1).toString(), args.at(2).toBool()});
    return replies;
}

// A test on the simulated kit, connected through the application core.
class Connected : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(reload());
        ASSERT_TRUE(boardConnect());
        AppManager::setDeviceAddress(0x2A);
    }
    void TearDown() override { boardDisconnect(); }
    // The line after a hostile one still reads the chip.
    static void expectNextLineWorks() {
        const std::vector<Reply> replies = run(QStringLiteral("readbyte 2A 00"));
        ASSERT_EQ(replies.size(), 1u);
        EXPECT_TRUE(replies[0].success);
        EXPECT_EQ(replies[0].text, QStringLiteral("\t12"));
    }
};

} // namespace robustness

#endif
