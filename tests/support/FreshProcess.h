// Runs a check in a new process of the test program, where the board link was
// never called: for what only an uninitialised library shows.
#ifndef TESTS_SUPPORT_FRESHPROCESS_H
#define TESTS_SUPPORT_FRESHPROCESS_H

#if defined(_WIN32)
#include <process.h>
#include <windows.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace freshprocess {

// In the parent: runs this program's test testName with env added and returns
// its exit status. In that child: runs body, 0 when it returned true.
inline int run(const std::string& testName, const std::vector<std::string>& env,
               const std::function<bool()>& body) {
    static const char kChildMarker[] = "RERODADA_TEST_FRESH_PROCESS";
    if (std::getenv(kChildMarker)) return body() ? 0 : 1;
#if defined(_WIN32)
    // The child's environment: this one with env replacing what it names.
    // Windows holds no empty variable; an empty port list becomes ":", which
    // lists no port, and other empty values are left out.
    std::vector<std::string> entries;
    for (char** e = _environ; *e; ++e)
        entries.push_back(*e);
    std::vector<std::string> changes = env;
    changes.push_back(std::string(kChildMarker) + "=1");
    for (std::string change : changes) {
        const std::string name = change.substr(0, change.find('=') + 1);
        for (auto it = entries.begin(); it != entries.end();)
            it =
                _strnicmp(it->c_str(), name.c_str(), name.size()) == 0 ? entries.erase(it) : it + 1;
        if (change.size() == name.size() && name != "RERODADA_SERIAL_PORTS=") continue;
        if (change.size() == name.size()) change += ':';
        entries.push_back(change);
    }
    std::vector<const char*> envp;
    for (const std::string& e : entries)
        envp.push_back(e.c_str());
    envp.push_back(nullptr);
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    const std::string filter = "--gtest_filter=" + testName;
    const char* const argv[] = {"test", filter.c_str(), nullptr};
    const intptr_t status = _spawnve(_P_WAIT, self, argv, envp.data());
    return status < 0 ? 128 : static_cast<int>(status);
#else
    const pid_t pid = fork();
    if (pid == 0) {
        for (const std::string& e : env)
            putenv(strdup(e.c_str()));
        setenv(kChildMarker, "1", 1);
        const std::string filter = "--gtest_filter=" + testName;
        execl("/proc/self/exe", "test", filter.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
#endif
}

} // namespace freshprocess

#endif
