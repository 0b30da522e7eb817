#include "SimulatedKit.h"

#include "rerodada.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>

namespace linktest {
namespace {

void* SimLibrary() {
    static void* module = [] {
        const char* path = std::getenv("RERODADA_D2XX_LIBRARY");
        void* m = path ? dlopen(path, RTLD_NOW | RTLD_LOCAL) : nullptr;
        if (!m) ADD_FAILURE() << "cannot load the D2XX simulator: " << dlerror();
        return m;
    }();
    return module;
}

template <typename Fn> Fn Hook(const char* name) {
    void* module = SimLibrary();
    return module ? reinterpret_cast<Fn>(dlsym(module, name)) : nullptr;
}

constexpr const char* kChildMarker = "LINKTEST_CHILD";

} // namespace

void ReloadUsb(const std::string& config) {
    auto reload = Hook<int (*)(const char*)>("podsim_d2xx_reload");
    ASSERT_NE(reload, nullptr);
    ASSERT_EQ(reload(config.c_str()), 0) << config;
}

podsim::Board* UsbBoard(unsigned index) {
    auto board = Hook<podsim::Board* (*)(unsigned)>("podsim_d2xx_board");
    return board ? board(index) : nullptr;
}

int RunInFreshProcess(const std::string& testName, const std::vector<std::string>& env,
                      const std::function<bool()>& body) {
    if (std::getenv(kChildMarker)) return body() ? 0 : 1;
    pid_t pid = fork();
    if (pid == 0) {
        for (const std::string& e : env)
            putenv(strdup(e.c_str()));
        setenv(kChildMarker, "1", 1);
        std::string filter = "--gtest_filter=" + testName;
        execl("/proc/self/exe", "test_link", filter.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

void ResetLibraryState() {
    BrimBoardDisconnect();
    BrimBoardAutoPort(true);
    BrimBoardAutoBaud(true);
    BrimBoardBannerRequiresPrefix("Kelvo");
}

} // namespace linktest
