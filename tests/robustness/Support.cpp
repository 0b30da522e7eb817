#include "Support.h"

#include "DeviceAccess.h"
#include "processCommand.h"

#include <QSignalSpy>

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace robustness {
namespace {

const char kChildMarker[] = "ROBUSTNESS_TEST_CHILD";

void* standIn() {
    static void* const handle = [] {
        const char* path = std::getenv("RERODADA_D2XX_LIBRARY");
        return path && *path ? dlopen(path, RTLD_NOW) : nullptr;
    }();
    return handle;
}

} // namespace

podsim::Board* board() {
    using Hook = podsim::Board* (*)(unsigned);
    void* handle = standIn();
    const auto hook = handle ? reinterpret_cast<Hook>(dlsym(handle, "podsim_d2xx_board")) : nullptr;
    return hook ? hook(0) : nullptr;
}

bool reload(const std::string& configText) {
    using Hook = int (*)(const char*);
    void* handle = standIn();
    const auto hook =
        handle ? reinterpret_cast<Hook>(dlsym(handle, "podsim_d2xx_reload")) : nullptr;
    if (!hook) return false;
    boardDisconnect();
    return hook(configText.c_str()) == 0;
}

std::vector<Reply> run(const QString& line) {
    QSignalSpy spy(processCommand::instance(), &processCommand::sig_commandProcessed);
    processCommand::instance()->slt_commandHandler(line);
    std::vector<Reply> replies;
    for (const QList<QVariant>& args : spy)
        replies.push_back({args.at(0).toString(), args.at(1).toString(), args.at(2).toBool()});
    return replies;
}

int runInFreshProcess(const std::string& testName, const std::vector<std::string>& env,
                      const std::function<bool()>& body) {
    if (std::getenv(kChildMarker)) return body() ? 0 : 1;
    const pid_t pid = fork();
    if (pid == 0) {
        for (const std::string& e : env)
            putenv(strdup(e.c_str()));
        setenv(kChildMarker, "1", 1);
        const std::string filter = "--gtest_filter=" + testName;
        execl("/proc/self/exe", "test_robustness", filter.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

} // namespace robustness
