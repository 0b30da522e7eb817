// The search's standard-output tap ends with the search, whatever holds or
// refuses standard output meanwhile: else the window freezes at its end.
#include "OutputTap.h"

#include <QList>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <future>
#include <memory>
#include <thread>

namespace {

// Ends the tap on another thread; false when that has not returned in 20 s.
// A tap that never ends is left behind, as the window would be.
bool endsInTime(std::unique_ptr<OutputTap> tap) {
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> ended = done->get_future();
    std::thread([tap = std::move(tap), done]() mutable {
        tap.reset();
        done->set_value();
    }).detach();
    return ended.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
}

TEST(OutputTap, EndsWhenStandardOutputRefusesWrites) {
    fflush(stdout);
    const int saved = dup(STDOUT_FILENO);
    const int full = open("/dev/full", O_WRONLY | O_CLOEXEC);
    ASSERT_GE(full, 0);
    dup2(full, STDOUT_FILENO);
    auto lines = std::make_shared<QList<QByteArray>>();
    auto tap = std::make_unique<OutputTap>([lines](const QByteArray& line) { *lines << line; });
    printf("Testing COM1\n");
    const bool ended = endsInTime(std::move(tap));
    dup2(saved, STDOUT_FILENO);
    close(saved);
    close(full);
    EXPECT_TRUE(ended);
    if (ended) {
        EXPECT_EQ(*lines, QList<QByteArray>{"Testing COM1"});
    }
}

TEST(OutputTap, EndsWhileAProgramStartedMeanwhileStillHoldsStandardOutput) {
    auto tap = std::make_unique<OutputTap>([](const QByteArray&) {});
    // Such as the help viewer, started during a search: it inherits the pipe.
    const pid_t child = fork();
    if (child == 0) {
        pause();
        _exit(0);
    }
    ASSERT_GT(child, 0);
    const bool ended = endsInTime(std::move(tap));
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    EXPECT_TRUE(ended);
}

} // namespace
