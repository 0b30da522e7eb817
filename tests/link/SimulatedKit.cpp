#include "SimulatedKit.h"

#include "StandIn.h"
#include "rerodada.h"

#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace linktest {
namespace {

// The stand-in must load: every test here runs on it.
void* SimLibrary() {
    void* module = standin::library();
    if (!module) ADD_FAILURE() << "cannot load the D2XX simulator: " << dlerror();
    return module;
}

} // namespace

void ReloadUsb(const std::string& config) {
    ASSERT_NE(SimLibrary(), nullptr);
    ASSERT_TRUE(standin::reload(config)) << config;
}

podsim::Board* UsbBoard(unsigned index) {
    return standin::board(index);
}

void ResetLibraryState() {
    BrimBoardDisconnect();
    BrimBoardAutoPort(true);
    BrimBoardAutoBaud(true);
    BrimBoardBannerRequiresPrefix("Kelvo");
}

std::string CurrentTestName() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return std::string(info->test_suite_name()) + "." + info->name();
}

// podlink-sim serves a pseudo-terminal, which only POSIX systems have; the
// tests that start it are left out of the Windows build.
#if !defined(_WIN32)
SimProgram::SimProgram(const std::vector<std::string>& args) {
    int out[2];
    if (pipe(out) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        std::vector<char*> argv{const_cast<char*>(PODLINK_SIM_PROGRAM)};
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(PODLINK_SIM_PROGRAM, argv.data());
        _exit(127);
    }
    close(out[1]);
    // The first line names the pseudo-terminal; the pipe stays open so that
    // later output never meets a closed reader.
    out_ = out[0];
    char c;
    while (read(out_, &c, 1) == 1 && c != '\n')
        if (c != '\r') path_ += c;
}

void SimProgram::Stop() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    if (out_ >= 0) close(out_);
    out_ = -1;
}
#endif

} // namespace linktest
