// Runs a check in a new process of the running test program, before the
// board link was ever called there: for what only an uninitialised library
// shows, such as the environment it reads on its first call.
#ifndef TESTS_SUPPORT_FRESHPROCESS_H
#define TESTS_SUPPORT_FRESHPROCESS_H

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace freshprocess {

// In the parent: starts this program again filtered to testName, with env
// added, and returns its exit status (0 when the test passed there). In that
// child: runs body and returns 0 when it returned true.
inline int run(const std::string& testName, const std::vector<std::string>& env,
               const std::function<bool()>& body) {
    static const char kChildMarker[] = "RERODADA_TEST_FRESH_PROCESS";
    if (std::getenv(kChildMarker)) return body() ? 0 : 1;
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
}

} // namespace freshprocess

#endif
